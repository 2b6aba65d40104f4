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
        // The forms g++ writes besides plain members.
        QTest::newRow("namespaced return type") << "std::string ns::inner::Foo::name() const"
                                                << "ns::inner::Foo::name()";
        QTest::newRow("template return type with blank")
            << "std::map<T, T> Holder<T>::get() const [with T = int]"
            << "Holder<T>::get()";
        QTest::newRow("blank inside the class's template arguments")
            << "void QMap<QString, int>::insert(const QString&, const int&)"
            << "QMap<QString, int>::insert()";
        QTest::newRow("member template")
            << "U ns::Foo::tm(U) [with U = std::__cxx11::basic_string<char>]"
            << "ns::Foo::tm()";
        QTest::newRow("static with two template clauses")
            << "static void Holder<T>::st(X) [with X = double; T = int]"
            << "Holder<T>::st()";
        QTest::newRow("lambda in a member") << "ns::inner::Foo::lam()::<lambda(int)>"
                                            << "ns::inner::Foo::lam()";
        QTest::newRow("nested lambda") << "ns::Foo::lam()::<lambda()>::<lambda()>"
                                       << "ns::Foo::lam()";
        QTest::newRow("lambda in main") << "main()::<lambda()>"
                                        << "main()";
        QTest::newRow("call operator") << "bool ns::Foo::operator()(int)"
                                       << "ns::Foo::operator()()";
        QTest::newRow("less operator") << "bool ns::Foo::operator<(const ns::Foo&) const"
                                       << "ns::Foo::operator<()";
        QTest::newRow("assignment returning reference")
            << "ns::Foo& ns::Foo::operator=(const ns::Foo&)"
            << "ns::Foo::operator=()";
        QTest::newRow("conversion operator") << "ns::Foo::operator bool() const"
                                             << "ns::Foo::operator bool()";
        QTest::newRow("operator new") << "static void* ns::Foo::operator new(size_t)"
                                      << "ns::Foo::operator new()";
        QTest::newRow("returns a function pointer") << "static void (* ns::Foo::fp(int))(int)"
                                                    << "ns::Foo::fp()";
        QTest::newRow("reference qualifier") << "void ns::Foo::rr() &&"
                                             << "ns::Foo::rr()";
        QTest::newRow("function pointer parameter") << "int freef(int (*)(int))"
                                                    << "freef()";
        QTest::newRow("nested class constructor") << "Outer::In::In()"
                                                  << "Outer::In::In()";
        QTest::newRow("member of a local class") << "static QString A::f(int)::Local::member()"
                                                 << "A::f()::Local::member()";
        QTest::newRow("no parameter list") << "something"
                                           << "something()";
    }
    void shortFormOfSignatures()
    {
        QFETCH(QString, signature);
        QFETCH(QString, expected);
        QCOMPARE(methodName(signature), expected);
    }

    // The compiler's own text, not a copy: catches forms the table above does not know.
    void shortFormOfThisCompilersSignatures()
    {
        struct Local
        {
            static QString member() { return KVN_METHOD; }
        };
        QCOMPARE(Local::member(),
                 QStringLiteral(
                     "MethodNameTest::shortFormOfThisCompilersSignatures()::Local::member()"));
        const auto lambda = [] { return KVN_METHOD; };
        QCOMPARE(lambda(), QStringLiteral("MethodNameTest::shortFormOfThisCompilersSignatures()"));
    }

    void ownMessageTypesReachTheHandler()
    {
        static QList<QPair<int, QString>> received;
        received.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &text) {
                received.append({int(type), text});
            });
        // Only a handler that knows the program's own types gets them unchanged.
        setOwnMessageTypesAccepted(true);
        for (int type : {42, 43, 44, 100, 101, 102})
            kvnMessage(type) << "value" << type;
        setOwnMessageTypesAccepted(false);
        qInstallMessageHandler(previous);
        QCOMPARE(received.size(), 6);
        QCOMPARE(received.first().first, 42);
        QCOMPARE(received.first().second, QStringLiteral("value 42"));
        QCOMPARE(received.last().first, 102);
    }
};

QTEST_GUILESS_MAIN(MethodNameTest)
#include "tst_methodname.moc"
