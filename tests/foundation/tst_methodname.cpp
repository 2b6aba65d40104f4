#include "console/debugmessage.h"
#include "foundation/methodname.h"

#include <QtTest>

class MethodNameTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shortFormOfSignatures_data()
    {
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QString>("expected");
        QTest::newRow("member") << "void DebManager::setMessageOutput(bool)"
                                << "DebManager::setMessageOutput()";
        QTest::newRow("destructor") << "virtual DebManager::~DebManager()"
                                    << "DebManager::~DebManager()";
        QTest::newRow("pointer arguments")
            << "virtual bool DebManager::eventFilter(QObject*, QEvent*)"
            << "DebManager::eventFilter()";
        QTest::newRow("constructor") << "DebManager::DebManager(QWidget*)"
                                     << "DebManager::DebManager()";
        QTest::newRow("template with clause") << "void Holder<T>::take(T) [with T = int]"
                                              << "Holder<T>::take()";
        QTest::newRow("free function") << "int main(int, char**)"
                                       << "main()";
    }
    void shortFormOfSignatures()
    {
        QFETCH(QString, signature);
        QFETCH(QString, expected);
        QCOMPARE(methodName(signature), expected);
    }

    void ownMessageTypesReachTheHandler()
    {
        static QList<QPair<int, QString>> received;
        received.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &text) {
                received.append({int(type), text});
            });
        for (int type : {42, 43, 44, 100, 101, 102})
            kvnMessage(type) << "value" << type;
        qInstallMessageHandler(previous);
        QCOMPARE(received.size(), 6);
        QCOMPARE(received.first().first, 42);
        QCOMPARE(received.first().second, QStringLiteral("value 42"));
        QCOMPARE(received.last().first, 102);
    }
};

QTEST_GUILESS_MAIN(MethodNameTest)
#include "tst_methodname.moc"
