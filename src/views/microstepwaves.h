#pragma once

#include "dialogs/chipdialog.h"
#include "views/wavescene.h"
#include "views/wavetableencoding.h"

#include <array>

class QLabel;
class Ui_MicrostepWaves;

// The microstep wave table of each motor: made from four odd harmonics or from an expression in
// x, listed, drawn with its section ends, encoded into the ten table registers and written to
// the chip. It also shows the table registers as the chip holds them and, from the status poll,
// the chip's table index and coil currents.
class MicrostepWaves : public ChipDialog
{
    Q_OBJECT

public:
    explicit MicrostepWaves(QWidget *parent = nullptr);
    ~MicrostepWaves() override;

    // Motor index 0 or 1. The stored words are those of the last accepted wave.
    const WaveTable::Samples &samples(int motor) const { return motors[motor].samples; }
    const WaveTable::Encoding &encoding(int motor) const { return motors[motor].encoding; }
    WaveScene &scene(int motor) { return motors[motor].scene; }

public Q_SLOTS:
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

private Q_SLOTS:
    void on_BtnCalculateWave1_clicked();
    void on_BtnEvaluate1_clicked();
    void on_BtnCalculateWave2_clicked();
    void on_BtnEvaluate2_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Each listing as wide as its widest line at the present font, beside its scroll bar.
    void fitListings();

    struct Motor
    {
        WaveScene scene;
        WaveTable::Samples samples {};
        WaveTable::Encoding encoding;
        WaveTable::Words words; // of the last accepted wave
        bool hasWords = false; // nothing is written before the first accepted wave
    };

    void calculateWave(int motor);
    void evaluateExpression(int motor);
    // Lists, draws and checks the motor's samples; true when accepted (the words are rebuilt).
    // A forced refusal refuses the wave with its message whatever the table would make of it.
    bool encodeWave(int motor, WaveTable::Refusal forcedRefusal = WaveTable::Refusal::None);
    void writeWaveTable(int motor);
    void clearTableLabels(int motor);
    void showWords(int motor, const WaveTable::Words &words);
    void refuse(const char *text);
    // MSLUTSEL, MSLUTSTART, MSLUT0..7: the order of the labels, the reads and the writes.
    std::array<QLabel *, 10> tableLabels(int motor) const;

    Ui_MicrostepWaves *ui;
    std::array<Motor, 2> motors;
};
