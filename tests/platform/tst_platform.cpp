// The toolkit layer: CP932 both ways, what a file is written in, a data file's
// lines, files that are no regular files, numbers, hosts, signals.
#include "TestSupport.h"
#include "platform/Net.h"
#include "platform/Numbers.h"
#include "platform/TextFiles.h"

#include <QHostAddress>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>

namespace files = platform::files;
using Conversion = files::LineConversion;
using Next = files::LineReader::Next;
Q_DECLARE_METATYPE(Conversion)

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  // Every BMP character that converts reads back as itself, or is one of the
  // JIS code points mapped on purpose, and counts as one character; every byte
  // and pair CP932 has reads as one character that converts, and every other
  // one is refused: a change in the codec's table can't slip through.
  void cp932RoundTrip() {
    const QHash<char16_t, char16_t> jis{{0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D},
                                        {0x2014, 0x2015}, {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1},
                                        {0x00AC, 0xFFE2}, {0x00A5, u'\\'}, {0x203E, u'~'}};
    platform::Cp932Encoder encoder;
    QByteArray bytes;
    qsizetype column = 0;
    int converted = 0, read = 0;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
      const char16_t u = char16_t(c);
      if (!encoder.Encode(QStringView(&u, 1), bytes, column)) continue;
      ++converted;
      QVERIFY2(platform::FromCp932(bytes) == QString(QChar(jis.value(u, u))) && platform::Cp932CharCount(bytes) == 1,
               qPrintable(QString::number(c, 16)));
    }
    const platform::Cp932CharSet& chars = platform::Cp932Chars();
    for (int code = 0x80; code <= 0xFFFF; ++code) {
      if (code > 0xFF && !platform::IsCp932LeadByte(uchar(code >> 8))) continue;
      bytes = code > 0xFF ? QByteArray(1, char(code >> 8)) + char(code) : QByteArray(1, char(code));
      const std::optional<QString> text = platform::FromCp932(bytes);
      QVERIFY2(text.has_value() == chars[code], bytes.toHex().constData());
      read += text.has_value();
      QVERIFY2(!text || (text->size() == 1 && encoder.Encode(*text, bytes, column)), bytes.toHex().constData());
    }
    QVERIFY(read > 7000 && converted > 7000);  // the codec is there at all
  }

  // The one decision on what a file is written in, the same whatever the
  // chunks it is fed in: the whole file, byte by byte, or 64 KiB at a time.
  // For Shift-JIS that reads as UTF-8 too, "+" and its first non-ASCII
  // character; for neither, where CP932 stops reading, in its characters.
  void judge() {
    static const char* const names[] = {"ASCII", "Shift-JIS", "UTF-8", "UTF-16 LE", "UTF-16 BE", "neither"};
    const QByteArray head = "4901234567890,", ascii64k(65535, 'a');
    QList<std::pair<QByteArray, QString>> cases{
        {"", "ASCII"}, {"a,1\r\n\x7F\x1A", "ASCII"}, {QByteArray("\xFF\xFE" "a\0", 4), "UTF-16 LE"},
        {"\xFE\xFF", "UTF-16 BE"}, {"\xEF\xBB\xBF" "a\xB1", "UTF-8"}, {"\x8F\xA4\x95\x69,1\r\n", "Shift-JIS"},
        // Half-width katakana in pairs are valid UTF-8, and never above U+07FF: ﾐｿ, ﾏｰﾚｰ, ﾗｼﾞｵ, ﾄｲﾚ用.
        {head + "\xD0\xBF,198\r\n", "Shift-JIS +1:15"},
        {"a\rb\r12345678\n\xCF\xB0\xDA\xB0", "Shift-JIS +4:1"},  // a line feed after eight bytes is no CR LF
        {"a\r\n\n" + head + "\xD7\xBC\xDE\xB5", "Shift-JIS +3:15"},
        {head + "\xC4\xB2\xDA\x97\x70", "Shift-JIS +1:15"},
        {"\xD0\xBF\xD0", "Shift-JIS"},  // UTF-8 cut by the end
        {"a,\xC3\x80\r\n", "UTF-8"},     // below U+0800, and no CP932
        {ascii64k + "\r\n商品\r\n", "UTF-8"},
        {"code\r\n1,商品\xFF\r\n", "neither 2:4"},
        {"1,\xA4\xB3\xA4\xF3\r\n", "neither 1:6"},  // EUC-JP
        {"a\r\nb\x82", "neither 2:2"},            // a lone lead byte at the end
        {"\x82\xA0\xA0", "neither 1:2"},
        {"\xB1\x85\x40", "neither 1:2"}};          // an unassigned pair
    for (const char* c : {"※", "→", "㈱", "€"}) cases.append({QByteArray("a,") + c + "\r\n", "UTF-8"});
    // A character cut by a 64 KiB edge is judged on all its bytes.
    for (const char* cut : {"\xC3\xBD\xC4", "\xF4\x90", "\xE0\x80", "\xED\xA0", "\xF0\x8F"})
      cases.append({ascii64k + cut + ",1\r\n", "Shift-JIS"});
    QStringList got, want;
    for (const auto& [file, verdict] : cases) {
      for (qsizetype chunk : {file.size(), qsizetype(1), qsizetype(65536)}) {
        platform::EncodingJudge judge;
        for (qsizetype i = 0; i < file.size(); i += chunk)
          judge.Feed(QByteArrayView(file).sliced(i).first(std::min(chunk, file.size() - i)));
        const platform::EncodingVerdict v = judge.Finish();
        const QString where = v.where.line ? QStringLiteral("%1:%2").arg(v.where.line).arg(v.where.column) : QString();
        got << QStringLiteral("%1 %2%3").arg(names[int(v.encoding)], v.alsoUtf8 ? "+" : "", where).trimmed();
        want << verdict;
      }
    }
    QCOMPARE(got, want);
  }

  // What each Read gives, as the terminal gets it: a line's CP932 bytes, or
  // "!kind column" for a line that can't be converted (the next one still
  // reads); and the file's bytes consumed after each.
  void lines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Conversion>("conversion");
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<qint64>>("consumed");
    using L = QList<QByteArray>;
    using C = QList<qint64>;
    const QByteArray x(65535, 'x'), y(200000, 'y');
    const auto utf16 = [](const QString& text, QStringConverter::Encoding e) -> QByteArray {
      return QStringEncoder(e, QStringConverter::Flag::WriteBom)(text);  // as a spreadsheet saves "Unicode text"
    };
    QTest::newRow("line ends, empty lines, CP932 untouched")
        << QByteArray("a\r\n\x82\xA0\x5C\x7F\x1A\x1C\nc\r\r\n\ne\rf") << Conversion::None
        << L{"a", "\x82\xA0\x5C\x7F\x1A\x1C", "c", "", "", "e", "f"} << C{3, 10, 12, 14, 15, 17, 18};
    QTest::newRow("across and beyond a buffer") << x + "\r\n" + y + "\n" << Conversion::None << L{x, y}
                                                << C{65537, 265538};
    // Bytes and characters below 0x80 pass as they are; the JIS code points
    // become CP932's own forms; what CP932 lacks and what is no UTF-8 are named.
    QTest::newRow("UTF-8")
        << QByteArray("\xEF\xBB\xBFｱｲあ商品①C:\\~\x7F\x1A\x1C\r\n～∥－―￠￡￢\r\n〜‖−—¢£¬¥‾\r\ncafé\r\na😀b\r\n"
                      "ab\xFF\r\n商😀\x80\r\nab\xE5\x95")
        << Conversion::FromUtf8
        << L{"\xB1\xB2\x82\xA0\x8F\xA4\x95\x69\x87\x40" "C:\\~\x7F\x1A\x1C",
             "\x81\x60\x81\x61\x81\x7C\x81\x5C\x81\x91\x81\x92\x81\xCA",
             "\x81\x60\x81\x61\x81\x7C\x81\x5C\x81\x91\x81\x92\x81\xCA\x5C\x7E", "!Unconvertible 4", "!Unconvertible 2",
             "!NotUtf8 3", "!NotUtf8 3", "!NotUtf8 3"}
        << C{30, 53, 78, 85, 93, 98, 108, 112};
    // 上 is U+4E0A: a 0A byte inside a code unit ends no line.
    const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");  // half a surrogate pair
    QTest::newRow("UTF-16 LE") << utf16("コード\t上\r\n4901\t缶\rx\n" + lone + "\r\nc", QStringConverter::Utf16LE)
                               << Conversion::FromUtf16LE
                               << L{"\x83\x52\x81\x5B\x83\x68\t\x8F\xE3", "4901\t\x8A\xCA", "x", "!NotUtf16 2", "c"}
                               << C{16, 30, 34, 44, 46};
    QTest::newRow("UTF-16 BE, an odd byte at the end")
        << utf16("a\t上\r\nb", QStringConverter::Utf16BE) + "x" << Conversion::FromUtf16BE
        << L{"a\t\x8F\xE3", "!NotUtf16 2"} << C{12, 15};
    // A file holding nothing but a byte-order mark is as empty as an empty file.
    QTest::newRow("UTF-8 mark alone") << QByteArray(platform::kUtf8Bom) << Conversion::None << L{} << C{};
    QTest::newRow("UTF-16 mark alone") << QByteArray("\xFF\xFE") << Conversion::FromUtf8 << L{} << C{};
  }
  void lines() {
    QFETCH(QByteArray, content);
    QFETCH(Conversion, conversion);
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<qint64>, consumed);
    static const char* const kinds[] = {"None", "Open", "Read", "NotUtf8", "NotUtf16", "Unconvertible"};
    QTemporaryDir dir;
    QVERIFY(WriteAll(dir.filePath("data"), content));
    files::LineReader reader;
    QVERIFY(reader.Open(dir.filePath("data"), conversion));
    QCOMPARE(reader.SizeAtOpen(), content.size());
    QList<QByteArray> got;
    QList<qint64> counts;
    QByteArray line;
    for (Next next; got.size() <= reads.size() && (next = reader.Read(line)) != Next::End;
         counts << reader.BytesConsumed()) {
      const auto& p = reader.LastProblem();
      got << (next == Next::Line ? line : '!' + QByteArray(kinds[p.kind]) + ' ' + QByteArray::number(p.column));
    }
    QCOMPARE(got, reads);
    QCOMPARE(counts, consumed);
    QCOMPARE(reader.Read(line), Next::End);
    QCOMPARE(reader.BytesConsumed(), content.size());
  }

  // Only regular files are read, and opening one never blocks: a FIFO without
  // a writer would hang, a device never ends.
  void notRegularFiles() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QByteArray line;
    platform::ErrorState judged;
    platform::EncodingVerdict verdict;
    for (const auto& [path, error] : {std::pair<QString, int>{fifo, EINVAL}, {"/dev/zero", EINVAL},
                                      {dir.path(), EISDIR}, {dir.filePath("missing"), ENOENT}}) {
      files::LineReader reader;
      QVERIFY(!reader.Open(path, Conversion::None) && reader.Read(line) == Next::Failed);
      QVERIFY(!files::JudgeFile(path, verdict, judged));
      const auto& p = reader.LastProblem();
      QCOMPARE(std::tuple(int(p.kind), p.error, p.errorText, judged.Number),
               std::tuple(int(p.Open), error, platform::OsErrorText(error), error));
    }
  }

  void parseInteger() {
    const QList<std::pair<QString, std::optional<qint64>>> cases{
        {"6000", 6000}, {" -5 ", -5}, {"+7", 7}, {"-32768", -32768}, {"32768", {}}, {"", {}},
        {"-", {}},      {"12a", {}},  {"1.0", {}}, {"18446744073709551617", {}}};  // 2^64 + 1
    for (const auto& [text, value] : cases)
      QVERIFY2(platform::ParseInteger(text, -32768, 32767) == value, qPrintable(text));
  }

  // An address means one cradle: four decimal parts, zero-padded ones too;
  // the resolver's other numeric forms are refused, names are names.
  void hostForms() {
    const QList<std::pair<QString, QString>> cases{
        {" 127.0.0.100 ", "127.0.0.100"}, {"127.000.0.010", "127.0.0.10"}, {"127.0.0.0010", "127.0.0.10"},
        {"256.1.1.1", "refused"}, {"127.1", "refused"}, {"2130706434", "refused"}, {"0x7f.1", "refused"},
        {"1.2.3.4.5", "refused"}, {"127.0.0.1.", "refused"}, {"cradle-1.shop.example", "name"}, {"1st-floor", "name"}};
    for (const auto& [text, meaning] : cases) {
      const platform::net::HostText h = platform::net::ReadHost(text);
      QCOMPARE(h.form == platform::net::HostForm::Refused ? "refused"
               : h.form == platform::net::HostForm::Name  ? "name"
                                                          : QHostAddress(h.ipv4).toString(),
               meaning);
    }
  }

  // A second signal, SIGINT or SIGTERM, ends the process at once, with 130.
  void secondSignalEndsAtOnce() {
    if (qEnvironmentVariableIsSet("KORIMA_SIGNAL_CHILD")) {
      platform::OnStopSignal([] {});
      ::raise(SIGINT);  // the first waits for the event loop, which never runs here
      ::raise(SIGTERM);
      ::_exit(0);
    }
    QProcess child;
    child.setEnvironment(QProcess::systemEnvironment() << "KORIMA_SIGNAL_CHILD=1");
    child.start(QCoreApplication::applicationFilePath(), {"secondSignalEndsAtOnce"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(std::pair(child.exitStatus(), child.exitCode()), std::pair(QProcess::NormalExit, 130));
  }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
