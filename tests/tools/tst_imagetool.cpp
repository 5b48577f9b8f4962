// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/xattr.h>
#include <unistd.h>

namespace {

Run runTool(const QStringList &args)
{
    return runProgram(QStringLiteral(TAVLO_IMAGE_TOOL), args);
}

QString dataFile(const char *name)
{
    return QStringLiteral(TAVLO_TEST_DATA "/") + name;
}

} // namespace

class TestImageTool : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void decodeMatchesReference()
    {
        const Run run = runTool({"decode", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.toUtf8(), contents(dataFile("worked-example.json")));
    }

    // encode stores what it is given, saying the advice on standard error
    // unless --quiet.
    void encodeMatchesReference()
    {
        const QString out = m_dir.filePath("out.bin");
        Run run = runTool({"encode", dataFile("worked-example.json"), out});
        QVERIFY2(run.err.contains(QLatin1String("tavlo-image: warning: Set 1 path: "
                                                "\"RELAY,WIDE2-2,TRACE3-3\" uses RELAY")),
                 qPrintable(run.err));
        QCOMPARE(run.status, 0);
        QCOMPARE(contents(out), contents(dataFile("worked-example.bin")));
        run = runTool({"encode", "--quiet", dataFile("worked-example.json"), out});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
    }

    // check: exit 1 and a line naming the set and the problem; 0 and nothing
    // for a clean configuration; 2 for an input it cannot read.
    void checkAdvises()
    {
        Run run = runTool({"check", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(QLatin1String("Sets 3 to 6 look unused")), qPrintable(run.out));
        run = runTool({"check", "--json", dataFile("worked-example.json")});
        QCOMPARE(run.status, 1);
        QVERIFY(QJsonDocument::fromJson(run.out.toUtf8()).isArray());
        QJsonObject clean =
            QJsonDocument::fromJson(contents(dataFile("worked-example.json"))).object();
        QJsonArray sets;
        for (int i = 0; i < 6; ++i) {
            QJsonObject set = clean.value("sets").toArray().first().toObject();
            for (const auto &[key, value] : {std::pair{"ssid", QJsonValue("7")},
                                             {"gps", true},
                                             {"coordinates", false},
                                             {"path", "WIDE2-2"}})
                set.insert(QLatin1String(key), value);
            sets.append(set);
        }
        clean.insert("sets", sets);
        clean.insert("callsign", "OK1ABC"); // N0CALL is the manuals' example
        QVERIFY(writeFile(m_dir.filePath("clean.json"), QJsonDocument(clean).toJson()));
        run = runTool({"check", m_dir.filePath("clean.json")});
        QCOMPARE(run.out + run.err, QString());
        QCOMPARE(run.status, 0);
        // Notes alone are no finding for the exit status, unless --strict.
        sets.replace(5, QJsonObject());
        clean.insert("sets", sets);
        QVERIFY(writeFile(m_dir.filePath("notes.json"), QJsonDocument(clean).toJson()));
        run = runTool({"check", m_dir.filePath("notes.json")});
        QCOMPARE(run.out,
                 QStringLiteral("note: Set 6 looks unused: it holds what a new window shows\n"));
        QCOMPARE(run.status, 0);
        QCOMPARE(runTool({"check", "--strict", m_dir.filePath("notes.json")}).status, 1);
        run = runTool({"check", m_dir.filePath("missing.bin")});
        QCOMPARE(run.status, 2);
    }

    void refusedEncodeWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status"); // 2: JSON that is no configuration, as every command says
        QTest::newRow("path")
            << QByteArray("{\"sets\": [{\"path\": \"WIDE2-1\"}, {}, {}, {}, {}, {}]}")
            << QStringLiteral("Set 1: path \"WIDE2-1\" would be stored as \"WIDE2-2\"") << 1;
        QTest::newRow("symbol range")
            << QByteArray("{\"sets\": [{}, {}, {}, {\"symbol\": 16}, {}, {}]}")
            << QStringLiteral("Set 4: symbol entry 16") << 1;
        QTest::newRow("code range")
            << QByteArray("{\"sets\": [{}, {\"symbolCode\": 96}, {}, {}, {}, {}]}")
            << QStringLiteral("Set 2: symbol code entry 96") << 1;
        QTest::newRow("wrong type") << QByteArray("{\"sets\": [{}, {}, {\"gps\": 1}, {}, {}, {}]}")
                                    << QStringLiteral("Set 3: \"gps\"") << 2;
        QTest::newRow("seven sets") << QByteArray("{\"sets\": [{}, {}, {}, {}, {}, {}, {}]}")
                                    << QStringLiteral("six sets") << 2;
        QTest::newRow("a callsign of seven") << QByteArray("{\"callsign\": \"OK1ABCD\"}")
                                             << QStringLiteral("\"OK1ABCD\" is longer") << 1;
    }
    void refusedEncodeWritesNothing()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        QFETCH(int, status);
        const QString in = m_dir.filePath("in.json");
        QVERIFY(writeFile(in, json));

        const QString fresh = m_dir.filePath("fresh.bin");
        Run run = runTool({"encode", in, fresh});
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY(!QFile::exists(fresh));

        const QString existing = m_dir.filePath("existing.bin");
        QVERIFY(writeFile(existing, "old contents"));
        run = runTool({"encode", in, existing});
        QCOMPARE(run.status, status);
        QCOMPARE(contents(existing), QByteArray("old contents"));
    }

    void unreadableInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing image")
            << QStringList{"decode", "missing.bin"} << QStringLiteral("missing.bin");
        QTest::newRow("short image")
            << QStringList{"show", "short.bin"} << QStringLiteral("is 125 bytes");
        QTest::newRow("missing json")
            << QStringList{"encode", "missing.json", "o.bin"} << QStringLiteral("missing.json");
        QTest::newRow("directory")
            << QStringList{"decode", "."} << QStringLiteral("Could not read");
    }
    void unreadableInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QVERIFY(writeFile(m_dir.filePath("short.bin"), QByteArray(125, ' ')));
        QVERIFY(writeFile(m_dir.filePath("broken.json"), "{\"sets\": ["));
        for (int i = 1; i < args.size(); ++i)
            args[i] = m_dir.filePath(args[i]);
        const Run run = runTool(args);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath("missing.bin")));
        QVERIFY(!QFile::exists(m_dir.filePath("o.bin")));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing") << QStringList() << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
        QTest::newRow("missing argument") << QStringList{"encode", "a.json"} << 2;
        QTest::newRow("extra argument") << QStringList{"decode", "a", "b"} << 2;
        QTest::newRow("help") << QStringList{"--help"} << 0;
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        const Run run = runTool(args);
        QCOMPARE(run.status, status);
        if (status == 0)
            QVERIFY(run.out.contains("encode JSON OUT"));
        else // where to read how it goes: the command's own help, where there is a command
            QVERIFY2(run.err.contains(args.size() > 1 ? "tavlo-image help " + args.first()
                                                      : QStringLiteral("tavlo-image --help")),
                     qPrintable(run.err));
    }

    // Every option of every command, from the parser's own table, is in the
    // manual's OPTIONS, in --help, and in the command's own help.
    void everyOptionDocumented()
    {
        QString manual = QString::fromUtf8(contents(QStringLiteral(TAVLO_MANUAL)));
        manual.replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const qsizetype from = manual.indexOf(QStringLiteral(".SH OPTIONS"));
        const QString section =
            manual.mid(from, manual.indexOf(QStringLiteral(".SH"), from + 1) - from);
        const QString help = runTool({"--help"}).out;
        for (const tavlo::cli::Command &command : tavlo::cli::commands()) {
            const QString name = QLatin1String(command.name);
            QVERIFY2(manual.contains(QStringLiteral(".BI ") + name) ||
                         manual.contains(QStringLiteral(".B ") + name),
                     command.name);
            const Run own = runTool({"help", name});
            QCOMPARE(own.status, 0);
            for (const tavlo::cli::CommandOption &o : command.options) {
                const tavlo::cli::Option *known = tavlo::cli::option(o.name);
                QVERIFY2(known, o.name);
                for (const char *form : {known->name, known->shortName}) {
                    if (!form)
                        continue;
                    const QString shown = QLatin1String(form);
                    QVERIFY2(section.contains(shown), form);
                    QVERIFY2(help.contains(shown), form);
                    QVERIFY2(own.out.contains(shown), qPrintable(name + u' ' + shown));
                }
            }
        }
    }

    // Completion in bash, from the same table: commands, each command's
    // options, files.
    void completion_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("offered");
        QTest::newRow("a command") << "tavlo-image wr"
                                   << "write";
        QTest::newRow("an option of the command") << "tavlo-image write --re"
                                                  << "--retries";
        QTest::newRow("no option of another command") << "tavlo-image check --re"
                                                      << "";
        QTest::newRow("a short form") << "tavlo-image fleet -"
                                      << "-o";
        QTest::newRow("a file") << "tavlo-image decode DIR/wor"
                                << "DIR/worked-example.bin";
    }
    void completion()
    {
        QFETCH(QString, line);
        QFETCH(QString, offered);
        line.replace(QStringLiteral("DIR"), QStringLiteral(TAVLO_TEST_DATA));
        offered.replace(QStringLiteral("DIR"), QStringLiteral(TAVLO_TEST_DATA));
        QVERIFY(writeFile(m_dir.filePath("complete.bash"), runTool({"completion"}).out.toUtf8()));
        const QString script =
            QStringLiteral(
                "source '%1'; COMP_WORDS=(%2); COMP_CWORD=$((${#COMP_WORDS[@]}-1)); "
                "[[ \"%3\" == *' ' ]] && COMP_WORDS+=('') && COMP_CWORD=$((COMP_CWORD+1)); "
                "_tavlo_image; printf '%s\\n' \"${COMPREPLY[@]}\"")
                .arg(m_dir.filePath("complete.bash"), line, line);
        QProcess bash;
        bash.start(QStringLiteral("bash"), {"-c", script});
        QVERIFY(bash.waitForFinished(10000));
        const QStringList got =
            QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(offered.isEmpty() ? got.isEmpty() : got.contains(offered),
                 qPrintable(got.join(u' ')));
    }

    // A configuration started and changed without hand-editing JSON: every
    // preset passes check without a warning once it has a callsign; set
    // changes a file in place, whole or not at all, in its own form.
    void newAndSet_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("out");
        QTest::newRow("every preset checks clean")
            << "for p in $(TOOL new --preset list | cut -d' ' -f1); do "
               "TOOL new -q --preset $p --callsign OK1ABC $p.json && TOOL check $p.json >$p.txt "
               "&& echo ok; done | sort | uniq -c | tr -s ' '"
            << " 8 ok\n";
        QTest::newRow("an image by its name, a callsign to come")
            << "TOOL new --preset car car.bin 2>&1; stat -c %s car.bin"
            << "tavlo-image: car.bin has no callsign yet: tavlo-image set car.bin "
               "callsign=YOURCALL\n127\n";
        QTest::newRow("no such preset") << "TOOL new --preset kite k.json 2>&1; echo $?; ls"
                                        << "tavlo-image: there is no preset \"kite\"; "
                                           "tavlo-image new --preset list names them (see "
                                           "tavlo-image help new)\n2\n";
        QTest::newRow("set in place, by text in any capitals and by index")
            << "TOOL new -q --preset car --callsign OK1ABC c.json && "
               "TOOL set -q c.json set1.symbol=boat set2.interval=#5 set1.path= && "
               "TOOL show c.json | grep -E 'Symbol:|interval|Path' | head -4"
            << "  Beacon interval:      \"  5 min\"\n  Symbol:               7 \"Boat\"\n"
               "  Path:                 \"\"\n  Beacon interval:      \" 10 min\"\n";
        QTest::newRow("an erased memory starts blank")
            << "printf '\\377%.0s' $(seq 127) >e.bin && TOOL set -q e.bin callsign=OK1ABC && "
               "TOOL show e.bin | head -3"
            << "Callsign: \"OK1ABC\"\nSet 1\n  SSID:                 \" \"\n";
        QTest::newRow("a refused assignment changes nothing")
            << "TOOL new -q --preset car --callsign OK1ABC c.bin && cp c.bin before.bin && "
               "TOOL set c.bin set1.ssid=3 set1.path=WIDE2-1 2>err.txt; echo $?; "
               "cmp c.bin before.bin && echo same"
            << "1\nsame\n";
        QTest::newRow("an entry that is not in its list")
            << "TOOL new -q c.json && TOOL set c.json set1.comment=busy 2>&1 | cut -c1-90"
            << "tavlo-image: c.json: Set 1: \"busy\" is not a position comment; position "
               "comments are: Off D\n";
        QTest::newRow("lists")
            << "TOOL lists | grep -E '^ +8  Car$|^Beacon interval|^    4    5 min$'"
            << "    8  Car\nBeacon interval (setN.interval):\n    4    5 min\n";
    }
    void newAndSet()
    {
        QFETCH(QString, script);
        QFETCH(QString, out);
        script.replace(QStringLiteral("TOOL"), QStringLiteral(TAVLO_IMAGE_TOOL));
        QTemporaryDir dir;
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        shell.start(QStringLiteral("bash"), {"-c", script});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), out);
    }

    void showForAPerson()
    {
        const Run run = runTool({"show", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 0);
        const QString &text = run.out;
        for (const char *expected :
             {"Callsign: \"N0CALL\"", "Set 1\n", "Set 6\n", "\"  5 min\"", "\"Enroute\"",
              "8 \"Car\"", "\"49\" \"12.34\" \"N\"", "\"016\" \"36.50\" \"E\"",
              "\"RELAY,WIDE2-2,TRACE3-3\"", "15 \"OTHERS\"", "\"Emergency!\""})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    }

    // Erased memory, every byte 0xFF, is said as such: never shown as values,
    // never decoded into a configuration encode would take for a real one.
    void erasedMemory_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("erasedFrom"); // first byte set to 0xFF
        QTest::addColumn<int>("erasedTo");   // one past the last
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("outHas");
        QTest::addColumn<QString>("err");
        QTest::newRow("show, all of it")
            << "show" << 0 << 127 << 0
            << QStringList{"Erased memory: every byte is 0xFF, so it holds no configuration\n"}
            << "";
        QTest::newRow("decode, all of it")
            << "decode" << 0 << 127 << 1 << QStringList{}
            << "is an erased memory: every byte is 0xFF, so there is no configuration to decode";
        QTest::newRow("show, sets 3 to 6")
            << "show" << 46 << 127 << 0
            << QStringList{"Callsign: \"N0CALL\"\n", "\"RELAY,WIDE2-2,TRACE3-3\"",
                           "Set 3: erased (every byte 0xFF)\nSet 4: erased (every byte 0xFF)\n"
                           "Set 5: erased (every byte 0xFF)\nSet 6: erased (every byte 0xFF)\n"}
            << "";
        QTest::newRow("decode, sets 3 to 6")
            << "decode" << 46 << 127 << 0 << QStringList{"\"callsign\": \"N0CALL\""}
            << "sets 3 to 6 are erased (every byte 0xFF), so given blank, as in a new window";
        QTest::newRow("show, the callsign")
            << "show" << 0 << 6 << 0 << QStringList{"Callsign: erased (every byte 0xFF)\nSet 1\n"}
            << "";
        QTest::newRow("decode, the callsign and set 2")
            << "decode" << 0 << 6 << 0 << QStringList{"\"callsign\": \"\"", "\"sets\""}
            << "the callsign and set 2 are erased (every byte 0xFF)";
    }
    void erasedMemory()
    {
        QFETCH(QString, command);
        QFETCH(int, erasedFrom);
        QFETCH(int, erasedTo);
        QFETCH(int, status);
        QFETCH(QStringList, outHas);
        QFETCH(QString, err);
        QByteArray image = contents(dataFile("worked-example.bin"));
        image.replace(erasedFrom, erasedTo - erasedFrom, QByteArray(erasedTo - erasedFrom, '\xff'));
        if (QByteArrayView(QTest::currentDataTag()).contains("set 2"))
            image.replace(26, 20, QByteArray(20, '\xff'));
        QCOMPARE(image.size(), 127);
        const QString path = m_dir.filePath("erased.bin");
        QVERIFY(writeFile(path, image));
        const Run run = runTool({command, path});
        QCOMPARE(run.status, status);
        for (const QString &part : outHas)
            QVERIFY2(run.out.contains(part), qPrintable(run.out));
        QVERIFY(!run.out.contains(u'\xff'));
        QCOMPARE(run.err.isEmpty(), err.isEmpty());
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
    }

    // A set whose coordinates are not programmed shows none, as the window
    // greys them.
    void showLeavesOutUnprogrammedCoordinates()
    {
        const Run run = runTool({"show", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 0);
        const QString set2 = run.out.section(QStringLiteral("Set 2\n"), 1).section("Set 3", 0, 0);
        QVERIFY2(set2.contains("Prog Coord's:         no\n"), qPrintable(set2));
        QVERIFY(!set2.contains("Latitude"));
        QVERIFY(!set2.contains("Longitude"));
        QVERIFY(run.out.section("Set 2", 0, 0).contains("Latitude:"));
    }

    // diff compares what opening shows, field by field, a JSON configuration
    // as the image encode would write from it.
    void diffs_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("an image and its JSON") << "BIN"
                                               << "JSON" << 0 << "";
        QTest::newRow("a blank saving erases") << "BIN"
                                               << "blank.json" << 0 << "";
        QTest::newRow("callsign and path")
            << "BIN"
            << "changed.json" << 1
            << "Callsign: \"N0CALL\" -> \"N1CALL\"\n"
               "Set 1 path: \"RELAY,WIDE2-2,TRACE3-3\" -> \"WIDE2-2\"\n";
        QTest::newRow("the end byte only")
            << "BIN"
            << "end.bin" << 1 << "Byte 126: 0x00 -> 0x01 (end byte)\n";
        // Bit 7 of byte 12 is one that opening ignores; the SSID beside it differs too.
        QTest::newRow("an ignored bit beside a field")
            << "BIN"
            << "ignored.bin" << 1
            << "Set 1 ssid: \" 9\" -> \" 8\"\nByte 12: 0x02 -> 0x82 (set 1 unused)\n";
        QTest::newRow("a configuration that cannot be saved") << "refused.json"
                                                              << "BIN" << 2 << "";
        QTest::newRow("too short for either") << "short.bin"
                                              << "BIN" << 2 << "";
    }
    void diffs()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, status);
        QFETCH(QString, out);
        const QByteArray json = contents(dataFile("worked-example.json"));
        QByteArray blank = json;
        blank.replace("\"ssid\": \" 9\"", "\"ssid\": \"9\"");
        QVERIFY(blank != json);
        QVERIFY(writeFile(m_dir.filePath("blank.json"), blank));
        QByteArray changed = json;
        changed.replace("N0CALL", "N1CALL");
        changed.replace("RELAY,WIDE2-2,TRACE3-3", "WIDE2-2");
        QVERIFY(writeFile(m_dir.filePath("changed.json"), changed));
        QByteArray end = contents(dataFile("worked-example.bin"));
        end[126] = 1;
        QVERIFY(writeFile(m_dir.filePath("end.bin"), end));
        QByteArray ignored = contents(dataFile("worked-example.bin"));
        ignored[6] = char(ignored[6] ^ 1);
        ignored[12] = char(ignored[12] ^ 0x80);
        QVERIFY(writeFile(m_dir.filePath("ignored.bin"), ignored));
        QVERIFY(writeFile(m_dir.filePath("refused.json"),
                          "{\"sets\": [{\"path\": \"WIDE2-1\"}, {}, {}, {}, {}, {}]}"));
        QVERIFY(writeFile(m_dir.filePath("short.bin"), "short"));
        auto path = [&](const QString &name) {
            if (name == QLatin1String("BIN"))
                return dataFile("worked-example.bin");
            if (name == QLatin1String("JSON"))
                return dataFile("worked-example.json");
            return m_dir.filePath(name);
        };
        const Run run = runTool({"diff", path(a), path(b)});
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.isEmpty(), status < 2);
        const Run asJson = runTool({"diff", "--json", path(a), path(b)});
        QCOMPARE(asJson.status, status);
        if (status < 2) {
            const QJsonObject o = QJsonDocument::fromJson(asJson.out.toUtf8()).object();
            QCOMPARE(o.value("equal").toBool(), status == 0);
            QCOMPARE(o.value("fields").toArray().size() + o.value("bytes").toArray().size(),
                     out.count(u'\n'));
        }
    }

    // Replacing a file keeps what it was: owner, group, mode, hard links and
    // the name's bytes; a dangling symbolic link is refused, as cp does.
    void replacingAFile_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("out");
        QTest::newRow("owner, group and mode")
            << "touch out.bin; chown 65534:65534 out.bin || exit 0; chmod 0600 out.bin; "
               "TOOL encode IN out.bin; stat -c '%u:%g %a' out.bin"
            << (::geteuid() == 0 ? "65534:65534 600\n" : "");
        QTest::newRow("read-only mode") << "touch out.bin; chmod 0444 out.bin; "
                                           "TOOL encode IN out.bin; stat -c %a out.bin"
                                        << "444\n";
        QTest::newRow("hard links") << "echo old > out.bin; ln out.bin other.bin; "
                                       "TOOL encode IN out.bin; cmp out.bin other.bin && "
                                       "stat -c %h out.bin && stat -c %s other.bin"
                                    << "2\n127\n";
        // Tried as another user, since root writes into any folder.
        QTest::newRow("a writable file in a read-only folder")
            << "[ $(id -u) = 0 ] && runuser -u nobody -- test -x TOOL || { echo 127; exit; }; "
               "chmod 755 .; mkdir ro; echo old > ro/out.bin; chmod 666 ro/out.bin; chmod 555 ro; "
               "runuser -u nobody -- TOOL encode IN ro/out.bin; stat -c %s ro/out.bin"
            << "127\n";
        QTest::newRow("a symbolic link is followed")
            << "echo old > real.bin; ln -s real.bin out.bin; TOOL encode IN out.bin; "
               "test -L out.bin && stat -c %s real.bin"
            << "127\n";
        QTest::newRow("a dangling symbolic link") << "ln -s missing/target out.bin; "
                                                     "TOOL encode IN out.bin 2>err.txt; echo $?; "
                                                     "test -L out.bin && ! test -e missing && "
                                                     "grep -c 'symbolic link' err.txt"
                                                  << "1\n1\n";
        QTest::newRow("names that are not UTF-8")
            << "TOOL encode IN $'club-\\xfc.bin' && TOOL encode IN $'club-\\xfd.bin' && "
               "test -s $'club-\\xfc.bin' && test -s $'club-\\xfd.bin' && ls | grep -c club"
            << "2\n";
        QTest::newRow("encode - - on a terminal")
            << "command -v script > where.txt || { echo 2; echo 1; exit; }; "
               "script -qec 'TOOL encode - -' ts.txt > out.txt; echo $?; "
               "grep -c 'standard input is a terminal' out.txt"
            << "2\n1\n";
        QTest::newRow("the name's bytes in a message")
            << "TOOL decode $'gone-\\xfc.bin' 2>&1 | grep -o 'gone-.*bin'"
            << "gone-\\xfc.bin\n";
    }
    void replacingAFile()
    {
        QFETCH(QString, script);
        QFETCH(QString, out);
        script.replace(QStringLiteral("TOOL"), QStringLiteral(TAVLO_IMAGE_TOOL));
        script.replace(QStringLiteral("IN"), dataFile("worked-example.json"));
        QTemporaryDir dir;
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        shell.start(QStringLiteral("bash"), {"-c", script});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), out);
    }

    // Whatever command reads an image takes a JSON configuration, and JSON
    // that does not parse is a usage fault with its offset, never an image.
    void brokenJsonEverywhere_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("show") << QStringList{"show", "BROKEN"};
        QTest::newRow("decode") << QStringList{"decode", "BROKEN"};
        QTest::newRow("diff") << QStringList{"diff", dataFile("worked-example.bin"), "BROKEN"};
        QTest::newRow("verify") << QStringList{"verify", "--port", "/dev/tavlo-none", "BROKEN"};
        QTest::newRow("write") << QStringList{"write", "--port", "/dev/tavlo-none", "BROKEN"};
        QTest::newRow("encode") << QStringList{"encode", "BROKEN", "OUT"};
    }
    void brokenJsonEverywhere()
    {
        QFETCH(QStringList, args);
        QByteArray broken = contents(dataFile("worked-example.json"));
        broken.replace("\"sets\": [", "\"sets\": [,");
        QVERIFY(broken.size() > 126);
        QVERIFY(writeFile(m_dir.filePath("broken.json"), broken));
        args.replaceInStrings(QStringLiteral("BROKEN"), m_dir.filePath("broken.json"));
        args.replaceInStrings(QStringLiteral("OUT"), m_dir.filePath("from-broken.bin"));
        const Run run = runTool(args);
        QVERIFY(!QFile::exists(m_dir.filePath("from-broken.bin")));
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(QStringLiteral("not valid JSON")) &&
                     run.err.contains(QStringLiteral("at offset")),
                 qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY(run.out.isEmpty());

        // The same configuration, well formed, is what show and verify compare;
        // an image whose callsign begins with "{" is still an image.
        if (args.first() == QLatin1String("show")) {
            const Run shown = runTool({"show", dataFile("worked-example.json")});
            QCOMPARE(shown.status, 0);
            QCOMPARE(shown.out, runTool({"show", dataFile("worked-example.bin")}).out);
            QByteArray brace = contents(dataFile("worked-example.bin"));
            brace[0] = '{';
            QVERIFY(writeFile(m_dir.filePath("brace.bin"), brace));
            const Run image = runTool({"show", m_dir.filePath("brace.bin")});
            QCOMPARE(image.status, 0);
            QVERIFY(image.out.startsWith(QStringLiteral("Callsign: \"{0CALL\"")));
        }
    }

    // An output that exists and is not a regular file is written in place,
    // never replaced; "-" is standard output.
    void outputsThatAreNotRegularFiles_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("logAfter"); // what log.txt holds afterwards
        QTest::addColumn<int>("stdoutBytes");
        const QByteArray image = contents(dataFile("worked-example.bin"));
        QTest::newRow("/dev/stdout appended to a log") << "TOOL encode IN /dev/stdout >> log.txt"
                                                       << "old\n" + image << 0;
        // However standard output is spelt, what the shell opened is appended to.
        for (const char *spelling :
             {"//dev/stdout", "/dev/./stdout", "/dev/fd/./1", "/proc/self/fd/../fd/1", "out-link"})
            QTest::newRow(spelling)
                << QStringLiteral("ln -s /dev/stdout out-link; TOOL encode IN %1 "
                                  ">> log.txt")
                       .arg(QLatin1String(spelling))
                << "old\n" + image << 0;
        QTest::newRow("the file the shell appends to, by its name")
            << "TOOL encode IN log.txt >> log.txt"
            << "old\n" + image << 0;
        QTest::newRow("a FIFO nobody reads")
            << "mkfifo fifo && TOOL encode IN fifo 2> err.txt; test $? = 1 && "
               "grep -q 'no program reads' err.txt"
            << QByteArray("old\n") << 0;
        QTest::newRow("/dev/stdout a pipe")
            << "TOOL encode IN /dev/stdout" << QByteArray("old\n") << 127;
        QTest::newRow("- a pipe") << "TOOL encode IN -" << QByteArray("old\n") << 127;
        QTest::newRow("a FIFO") << "mkfifo fifo && { cat fifo > log.txt & TOOL encode IN fifo; "
                                   "wait; test -p fifo; }"
                                << image << 0;
        QTest::newRow("JSON from standard input")
            << "TOOL encode - out.bin < IN && cat out.bin" << QByteArray("old\n") << 127;
    }
    void outputsThatAreNotRegularFiles()
    {
        QFETCH(QString, script);
        QFETCH(QByteArray, logAfter);
        QFETCH(int, stdoutBytes);
        QVERIFY(writeFile(m_dir.filePath("log.txt"), "old\n"));
        QFile::remove(m_dir.filePath("fifo"));
        QFile::remove(m_dir.filePath("out-link"));
        // The worked example's advice aside: standard error stays empty.
        script.replace(QStringLiteral("TOOL"), QStringLiteral(TAVLO_IMAGE_TOOL " --quiet"));
        script.replace(QStringLiteral("IN"), dataFile("worked-example.json"));
        QProcess shell;
        shell.setWorkingDirectory(m_dir.path());
        shell.start(QStringLiteral("/bin/sh"), {"-c", script});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 0);
        QCOMPARE(shell.readAllStandardError(), QByteArray());
        QCOMPARE(shell.readAllStandardOutput().size(), stdoutBytes);
        QCOMPARE(contents(m_dir.filePath("log.txt")), logAfter);
    }

    // Inputs that are too large, endless or the output itself: one line, exit
    // 1 (2 for JSON that is no configuration), and nothing written.
    void hostileInputs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::newRow("JSON over 1 MiB")
            << QStringList{"encode", "big.json", "out.bin"} << "larger than 1048576 bytes" << 1;
        QTest::newRow("endless JSON")
            << QStringList{"encode", "/dev/zero", "out.bin"} << "larger than 1048576 bytes" << 1;
        QTest::newRow("its own input")
            << QStringList{"encode", "in.json", "in.json"} << "is the input" << 1;
        QTest::newRow("a NUL in the callsign") << QStringList{"encode", "nul.json", "out.bin"}
                                               << "nul.json: Callsign \"N0\\0LL\" holds character "
                                                  "code 0 (U+0000), which is not printable "
                                                  "ASCII"
                                               << 1;
        QTest::newRow("a number of 2^31")
            << QStringList{"encode", "huge.json", "out.bin"} << "\"symbol\" is out of range" << 2;
        QTest::newRow("a key twice") << QStringList{"encode", "twice.json", "out.bin"}
                                     << "the key \"gps\" stands twice" << 2;
        QTest::newRow("one byte") << QStringList{"decode", "one.bin"}
                                  << "is 1 byte, too short for a configuration image (it needs "
                                     "at least 126 bytes)"
                                  << 1;
        QTest::newRow("no file name") << QStringList{"decode", ""} << "no file name given" << 1;
    }
    void hostileInputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(int, status);
        const QByteArray valid = contents(dataFile("worked-example.json"));
        QVERIFY(writeFile(m_dir.filePath("big.json"), valid + QByteArray(1024 * 1024, ' ')));
        QVERIFY(writeFile(m_dir.filePath("in.json"), valid));
        QVERIFY(writeFile(m_dir.filePath("nul.json"), "{\"callsign\": \"N0\\u0000LL\"}"));
        QVERIFY(writeFile(m_dir.filePath("huge.json"),
                          "{\"sets\": [{\"symbol\": 2147483648}, {}, {}, {}, {}, {}]}"));
        QVERIFY(writeFile(m_dir.filePath("twice.json"),
                          "{\"sets\": [{\"gps\": true, \"gps\": false}, {}, {}, {}, {}, {}]}"));
        QVERIFY(writeFile(m_dir.filePath("one.bin"), "x"));
        QFile::remove(m_dir.filePath("out.bin"));
        for (QString &a : args)
            if (a.contains(u'.') && !a.startsWith(u'/'))
                a = m_dir.filePath(a);
        const Run run = runTool(args);
        // JSON that is no configuration is the caller's mistake, as with every command.
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY(!QFile::exists(m_dir.filePath("out.bin")));
        QCOMPARE(contents(m_dir.filePath("in.json")), valid);
    }

    // What reaches a terminal cannot steer it, and stays short.
    void linesForATerminal_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("toStdout");
        QTest::addColumn<QString>("expected");
        QTest::newRow("show, escapes in the image")
            << QStringList{"show", "escapes.bin"} << true << "Callsign: \"\\e]0;X\\x07\"";
        QTest::newRow("error line, ESC in a name")
            << QStringList{"decode", "\x1b[2J.bin"} << false << "\\e[2J.bin";
        QTest::newRow("a very long name")
            << QStringList{"decode", QString(20000, u'a')} << false << "(20000 characters)";
    }
    void linesForATerminal()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, toStdout);
        QFETCH(QString, expected);
        QByteArray image = contents(dataFile("worked-example.bin"));
        image.replace(0, 6, QByteArray("\x1b]0;X\x07", 6));
        QVERIFY(writeFile(m_dir.filePath("escapes.bin"), image));
        if (args[1].endsWith(QLatin1String(".bin")))
            args[1] = m_dir.filePath(args[1]);
        const Run run = runTool(args);
        const QString &text = toStdout ? run.out : run.err;
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY(!text.contains(QChar(0x1b)) && !text.contains(QChar(0x07)));
        QVERIFY(run.err.size() < 400);
    }

    // A JSON configuration saved with a byte-order mark is JSON for every
    // command, as it is without one.
    void byteOrderMarkIsStillJson_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("check") << QStringList{"check", "JSON"};
        QTest::newRow("show") << QStringList{"show", "JSON"};
        QTest::newRow("decode") << QStringList{"decode", "JSON"};
        QTest::newRow("diff") << QStringList{"diff", dataFile("worked-example.bin"), "JSON"};
        QTest::newRow("encode") << QStringList{"encode", "--quiet", "JSON", "-"};
    }
    void byteOrderMarkIsStillJson()
    {
        QFETCH(QStringList, args);
        const QString plain = dataFile("worked-example.json");
        const QString marked = m_dir.filePath("marked.json");
        QVERIFY(writeFile(marked, "\xEF\xBB\xBF" + contents(plain)));
        const Run expected = runTool(QStringList(args).replaceInStrings("JSON", plain));
        const Run run = runTool(args.replaceInStrings("JSON", marked));
        QCOMPARE(run.status, expected.status);
        QCOMPARE(run.out, expected.out);
        QVERIFY2(!run.err.contains(QStringLiteral("image")), qPrintable(run.err));
    }

    // Replacing a file keeps its extended attributes, and a name as long as
    // the system allows is written although the temporary name beside it
    // would be longer.
    void replacingKeepsAttributesAndLongNames()
    {
        const QString out = m_dir.filePath("attributes.bin");
        QVERIFY(writeFile(out, "old"));
        const QByteArray value("club tracker 3");
        if (::setxattr(QFile::encodeName(out).constData(), "user.tavlo.note", value.constData(),
                       size_t(value.size()), 0) != 0)
            QSKIP("this file system takes no extended attributes");
        QCOMPARE(runTool({"encode", dataFile("worked-example.json"), out}).status, 0);
        char back[64] = {};
        const ssize_t got =
            ::getxattr(QFile::encodeName(out).constData(), "user.tavlo.note", back, sizeof back);
        QCOMPARE(QByteArray(back, int(std::max<ssize_t>(got, 0))), value);
        QCOMPARE(contents(out).size(), 127);

        const QString longest = m_dir.filePath(QString(251, u'x') + QStringLiteral(".bin"));
        QCOMPARE(runTool({"encode", dataFile("worked-example.json"), longest}).status, 0);
        QCOMPARE(contents(longest).size(), 127);
        const Run tooLong = runTool({"encode", dataFile("worked-example.json"), longest + u'x'});
        QCOMPARE(tooLong.status, 1);
        QVERIFY2(tooLong.err.contains(QStringLiteral("too long")), qPrintable(tooLong.err));
    }

    // An output that cannot be written has a status of its own, never the
    // one that says something was found.
    void outputThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("decode") << "decode IMG";
        QTest::newRow("doctor") << "doctor";
        QTest::newRow("check") << "check IMG";
    }
    void outputThatCannotBeWritten()
    {
        QFETCH(QString, command);
        command.replace(QStringLiteral("IMG"), dataFile("worked-example.bin"));
        QProcess shell;
        shell.start(
            QStringLiteral("/bin/sh"),
            {"-c",
             QStringLiteral("exec >&-; '%1' %2").arg(QStringLiteral(TAVLO_IMAGE_TOOL), command)});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 4);
        const QString err = QString::fromUtf8(shell.readAllStandardError());
        QCOMPARE(err.count(u'\n'), 1);
        QVERIFY2(err.contains(QStringLiteral("could not write the output")), qPrintable(err));
    }

    void commandLineConventions_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        const QString version = QStringLiteral(" " TAVLO_VERSION "\n");
        QTest::newRow("tavlo-image --version")
            << QStringLiteral(TAVLO_IMAGE_TOOL) << QStringList{"--version"} << 0
            << "tavlo-image" + version;
#ifdef TAVLO_DEVSIM
        QTest::newRow("tavlo-devsim --version")
            << QStringLiteral(TAVLO_DEVSIM) << QStringList{"--version"} << 0
            << "tavlo-devsim" + version;
#endif
        QTest::newRow("tavlo --version")
            << QStringLiteral(TAVLO_WINDOW) << QStringList{"--version"} << 0 << "tavlo" + version;
        QTest::newRow("a file named -h after --")
            << QStringLiteral(TAVLO_IMAGE_TOOL) << QStringList{"decode", "--", "-h"} << 0
            << "\"callsign\": \"N0CALL\"";
        QTest::newRow("unknown option")
            << QStringLiteral(TAVLO_IMAGE_TOOL) << QStringList{"decode", "--frob", "x.bin"} << 2
            << "unknown option \"--frob\"";
        QTest::newRow("option where none belongs")
            << QStringLiteral(TAVLO_IMAGE_TOOL) << QStringList{"decode", "--trace", "x.bin"} << 2
            << "decode does not take --trace";
    }
    void commandLineConventions()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, output);
        QVERIFY(QFile::copy(dataFile("worked-example.bin"), m_dir.filePath("-h")) ||
                QFile::exists(m_dir.filePath("-h")));
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(program, args);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), status);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2((status == 0 ? out : err).contains(output), qPrintable(out + err));
        if (status == 0)
            QVERIFY2(err.isEmpty(), qPrintable(err));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestImageTool)
#include "tst_imagetool.moc"
