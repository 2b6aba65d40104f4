#include "views/microstepwaves.h"

#include "ui_microstepwaves.h"

#include "dialogs/chipregisters.h"
#include "foundation/livevaluelabel.h"
#include "views/wavegenerators.h"

#include <QEvent>
#include <QMessageBox>
#include <QScrollBar>

namespace {

// The motor-1 addresses of the ten table registers, in the order they are read, written and
// shown: MSLUTSEL, MSLUTSTART, MSLUT0..MSLUT7.
constexpr unsigned char lutRegister(int offset)
{
    return chipregisters::driverRegister(0, quint8(offset));
}
constexpr unsigned char tableAddresses[10]
    = {lutRegister(chipregisters::MsLutSel),   lutRegister(chipregisters::MsLutStart),
       lutRegister(chipregisters::MsLut0),     lutRegister(chipregisters::MsLut0 + 1),
       lutRegister(chipregisters::MsLut0 + 2), lutRegister(chipregisters::MsLut0 + 3),
       lutRegister(chipregisters::MsLut0 + 4), lutRegister(chipregisters::MsLut0 + 5),
       lutRegister(chipregisters::MsLut0 + 6), lutRegister(chipregisters::MsLut0 + 7)};
constexpr unsigned char msCnt = chipregisters::driverRegister(0, chipregisters::MsCnt);
constexpr unsigned char msCurAct = chipregisters::driverRegister(0, chipregisters::MsCurAct);

QString hexWord(quint32 word)
{
    return QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
}

// A 9-bit two's-complement coil current from bits `shift` to `shift` + 8.
int coilCurrent(quint32 value, int shift)
{
    const int magnitude = int((value >> shift) & 0xFF);
    return (value >> (shift + 8)) & 1u ? magnitude - 256 : magnitude;
}

std::array<quint32, 10> wordsInOrder(const WaveTable::Words &words)
{
    return {words.select,   words.start,    words.mslut[0], words.mslut[1], words.mslut[2],
            words.mslut[3], words.mslut[4], words.mslut[5], words.mslut[6], words.mslut[7]};
}

} // namespace

MicrostepWaves::MicrostepWaves(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MicrostepWaves)
{
    ui->setupUi(this);
    // The geometry of this dialog is stored under "dlg_MicrostepWavest"; the key keeps that
    // spelling.
    setIdentity("MicrostepWavest", fixedSizeFlags);
    pinLiveValueLabels({ui->StaticMsCnt1, ui->StaticMsCnt2, ui->StaticMsCurActA1,
                        ui->StaticMsCurActA2, ui->StaticMsCurActB1, ui->StaticMsCurActB2},
                       QStringLiteral("-0000"));
    // The wave table as the chip held it when it was last read or written.
    for (int motor = 0; motor < 2; ++motor) {
        const std::array<QLabel *, 10> labels = tableLabels(motor);
        markLiveValues(QList<QWidget *>(labels.begin(), labels.end()));
    }
    QGraphicsView *views[2] = {ui->WaveView1, ui->WaveView2};
    for (int motor = 0; motor < 2; ++motor) {
        QGraphicsView *view = views[motor];
        motors[motor].scene.setSceneRect(0, 0, view->width() - 1, view->height() - 1);
        view->setScene(&motors[motor].scene);
        view->viewport()->setStyleSheet(QStringLiteral("background: white"));
    }
    setRegisterControls(
        {ui->BtnCalculateWave1, ui->BtnEvaluate1, ui->BtnCalculateWave2, ui->BtnEvaluate2});
    ui->MemoWavetable1->installEventFilter(this);
    ui->MemoWavetable2->installEventFilter(this);
    fitListings();
}

bool MicrostepWaves::eventFilter(QObject *watched, QEvent *event)
{
    // Measured at once, before anything asks the dialog what its contents need at the new font.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitListings();
    return ChipDialog::eventFilter(watched, event);
}

void MicrostepWaves::fitListings()
{
    // The heading is the widest line a listing holds; a little more keeps its end off the
    // scroll bar.
    static const QString widest = WaveTable::listing({}, {}).constFirst() + QStringLiteral("00");
    for (QTextEdit *memo : {ui->MemoWavetable1, ui->MemoWavetable2}) {
        const int margins = 2 * int(memo->document()->documentMargin()) + 2 * memo->frameWidth()
            + memo->contentsMargins().left() + memo->contentsMargins().right();
        memo->setMinimumWidth(memo->fontMetrics().horizontalAdvance(widest) + margins
                              + memo->verticalScrollBar()->sizeHint().width());
    }
}

MicrostepWaves::~MicrostepWaves()
{
    delete ui;
}

std::array<QLabel *, 10> MicrostepWaves::tableLabels(int motor) const
{
    if (motor == 0)
        return {ui->StaticMsLutSel1, ui->StaticMsLutStart1, ui->StaticMsLut0_1, ui->StaticMsLut1_1,
                ui->StaticMsLut2_1,  ui->StaticMsLut3_1,    ui->StaticMsLut4_1, ui->StaticMsLut5_1,
                ui->StaticMsLut6_1,  ui->StaticMsLut7_1};
    return {ui->StaticMsLutSel2, ui->StaticMsLutStart2, ui->StaticMsLut0_2, ui->StaticMsLut1_2,
            ui->StaticMsLut2_2,  ui->StaticMsLut3_2,    ui->StaticMsLut4_2, ui->StaticMsLut5_2,
            ui->StaticMsLut6_2,  ui->StaticMsLut7_2};
}

void MicrostepWaves::OnInitAllValues()
{
    for (int motor = 0; motor < 2; ++motor) {
        const std::array<QLabel *, 10> labels = tableLabels(motor);
        for (int n = 0; n < 10; ++n) {
            const int value = readRegister(motorAddress(tableAddresses[n], motor + 1));
            // A read that brought nothing of the chip leaves the label as it was.
            if (!lastReadFailed())
                labels[n]->setText(hexWord(quint32(value)));
        }
    }
}

void MicrostepWaves::OnRegisterChanged(unsigned char address, int value)
{
    for (int motor = 0; motor < 2; ++motor) {
        // A table register shows what the chip holds: a word written elsewhere, or the chip's
        // own after it refused one of the wave's.
        const std::array<QLabel *, 10> labels = tableLabels(motor);
        for (int n = 0; n < 10; ++n) {
            if (address == motorAddress(tableAddresses[n], motor + 1))
                labels[n]->setText(hexWord(quint32(value)));
        }
        const bool first = motor == 0;
        if (address == motorAddress(msCnt, motor + 1)) {
            (first ? ui->StaticMsCnt1 : ui->StaticMsCnt2)->setNum(value);
        } else if (address == motorAddress(msCurAct, motor + 1)) {
            (first ? ui->StaticMsCurActA1 : ui->StaticMsCurActA2)
                ->setNum(coilCurrent(quint32(value), 0));
            (first ? ui->StaticMsCurActB1 : ui->StaticMsCurActB2)
                ->setNum(coilCurrent(quint32(value), 16));
        }
    }
}

void MicrostepWaves::on_BtnCalculateWave1_clicked()
{
    calculateWave(0);
}

void MicrostepWaves::on_BtnEvaluate1_clicked()
{
    evaluateExpression(0);
}

void MicrostepWaves::on_BtnCalculateWave2_clicked()
{
    calculateWave(1);
}

void MicrostepWaves::on_BtnEvaluate2_clicked()
{
    evaluateExpression(1);
}

void MicrostepWaves::calculateWave(int motor)
{
    const bool first = motor == 0;
    WaveGenerators::Amplitudes amplitudes;
    amplitudes.a1 = (first ? ui->EditA1_1 : ui->EditA1_2)->value();
    amplitudes.a3 = (first ? ui->EditA3_1 : ui->EditA3_2)->value();
    amplitudes.a5 = (first ? ui->EditA5_1 : ui->EditA5_2)->value();
    amplitudes.a7 = (first ? ui->EditA7_1 : ui->EditA7_2)->value();
    const WaveGenerators::Synthesis synthesis = WaveGenerators::synthesize(amplitudes);
    motors[motor].samples = synthesis.samples;
    // With every amplitude 0 there is no peak to scale to: the flat wave is listed and drawn,
    // and refused as too low, like any wave too flat to encode.
    const WaveTable::Refusal forced
        = synthesis.scaled ? WaveTable::Refusal::None : WaveTable::Refusal::SlopeTooLow;
    if (encodeWave(motor, forced))
        writeWaveTable(motor);
}

void MicrostepWaves::evaluateExpression(int motor)
{
    const QString text = (motor == 0 ? ui->EditExpression1 : ui->EditExpression2)->text();
    const WaveGenerators::ExpressionWave wave = WaveGenerators::evaluateExpression(text);
    if (wave.outcome != WaveGenerators::ExpressionOutcome::Accepted) {
        refuse(WaveGenerators::outcomeText(wave.outcome));
        return;
    }
    motors[motor].samples = wave.samples;
    if (encodeWave(motor))
        writeWaveTable(motor);
}

bool MicrostepWaves::encodeWave(int motor, WaveTable::Refusal forcedRefusal)
{
    Motor &m = motors[motor];
    m.encoding = WaveTable::encode(m.samples);
    QTextEdit *memo = motor == 0 ? ui->MemoWavetable1 : ui->MemoWavetable2;
    memo->setPlainText(
        WaveTable::listing(m.samples, m.encoding.sectionEnd).join(QLatin1Char('\n')));
    m.scene.drawWave(m.samples, m.encoding.sectionEnd);

    const WaveTable::Refusal refusal
        = forcedRefusal != WaveTable::Refusal::None ? forcedRefusal : m.encoding.refusal;
    if (refusal != WaveTable::Refusal::None) {
        clearTableLabels(motor);
        refuse(WaveTable::refusalText(refusal));
        return false;
    }
    m.words = m.encoding.words;
    m.hasWords = true;
    showWords(motor, m.words);
    return true;
}

void MicrostepWaves::writeWaveTable(int motor)
{
    if (motor < 0 || motor > 1 || !motors[motor].hasWords)
        return;
    const std::array<quint32, 10> words = wordsInOrder(motors[motor].words);
    for (int n = 0; n < 10; ++n)
        writeRegister(motorAddress(tableAddresses[n], motor + 1), int(words[n]));
}

void MicrostepWaves::clearTableLabels(int motor)
{
    for (QLabel *label : tableLabels(motor))
        label->setText(QStringLiteral("00000000"));
}

void MicrostepWaves::showWords(int motor, const WaveTable::Words &words)
{
    const std::array<QLabel *, 10> labels = tableLabels(motor);
    const std::array<quint32, 10> values = wordsInOrder(words);
    for (int n = 0; n < 10; ++n)
        labels[n]->setText(hexWord(values[n]));
}

void MicrostepWaves::refuse(const char *text)
{
    QMessageBox::information(this, tr("Error"), tr(text), QMessageBox::Ok);
}
