// Lookups from worker threads while the window's thread switches the table
// (only tests switch after start-up, but it must still be race-free).
#include "lang/texts.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace quenda;

class TestTextThreads : public QObject {
    Q_OBJECT

private slots:
    void firstUseFromSeveralThreads() {
        // Runs first: the tables are parsed on first use, here by racing threads.
        std::vector<std::thread> threads;
        std::atomic<int> sizes{0};
        for (int i = 0; i < 4; ++i)
            threads.emplace_back(
                [&, i] { sizes += BuiltinTable(i % 2).keys(QStringLiteral("Messages")).size(); });
        for (std::thread& t : threads)
            t.join();
        // Every racer saw the whole table, as a lookup after the race does.
        QCOMPARE(sizes.load(), 2 * int(BuiltinTable(0).keys(QStringLiteral("Messages")).size() +
                                        BuiltinTable(1).keys(QStringLiteral("Messages")).size()));
        QVERIFY(sizes.load() > 0);
    }

    void concurrentLookups() {
        std::atomic<bool> stop{false};
        std::atomic<int> bad{0};
        std::atomic<int> lookups{0};
        std::vector<std::thread> readers;
        for (int i = 0; i < 4; ++i) {
            readers.emplace_back([&] {
                while (!stop.load()) {
                    const QString s =
                        MsgFmt(QStringLiteral("ConnectedToOn"), {QStringLiteral("D"), QStringLiteral("P")});
                    if (s != QLatin1String("Connected to D on P") &&
                        s != QLatin1String("Verbunden mit D an P"))
                        ++bad;
                    if (Msg(QStringLiteral("NoSuchKey")) != QLatin1String("NoSuchKey")) ++bad;
                    ++lookups;
                }
            });
        }
        // Keep switching until the readers have really overlapped with it.
        for (int i = 0; i < 1000000 && (i < 200 || lookups.load() < 5000); ++i)
            LoadLanguage(i % 2 ? LanguageChoice::German : LanguageChoice::English);
        stop = true;
        for (std::thread& t : readers)
            t.join();
        QCOMPARE(bad.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextThreads)
#include "test_texts_threads.moc"
