// The toolkit layer: CP932, UTF-8 and UTF-16, what a file is written in,
// sequential files and their comma-value rules, volumes, signals.
#include "TestSupport.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/TextEncoding.h"
#include "platform/TextFiles.h"
#include "platform/Volumes.h"

#include <QCoreApplication>
#include <QProcess>
#include "platform/Net.h"
#include "platform/Numbers.h"

#include <QHostAddress>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace files = platform::files;
using platform::TextEncoding;
using Next = files::LineReader::Next;
using Problem = files::LineReader::Problem;
Q_DECLARE_METATYPE(platform::TextEncoding)
Q_DECLARE_METATYPE(files::LineConversion)
Q_DECLARE_METATYPE(Problem::Kind)

namespace {
// A byte-order mark and the text, as a spreadsheet saves "Unicode text".
QByteArray Utf16(const QString& text, bool bigEndian) {
  QByteArray out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (QChar c : text) {
    const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}
}  // namespace

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  void cp932_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("half-width katakana") << QStringLiteral("ｱｲ") << QByteArray("\xB1\xB2");
    QTest::newRow("backslash stays") << QStringLiteral("C:\\Data") << QByteArray("C:\\Data");
    QTest::newRow("wave dash") << QStringLiteral("～") << QByteArray("\x81\x60");
    QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
    QTest::newRow("hiragana") << QStringLiteral("あ") << QByteArray("\x82\xA0");
    // The codec's table swaps these three; they pass through untouched.
    QTest::newRow("kanji, DEL, SUB, FS") << QStringLiteral("商品\x7f\x1a\x1c") << QByteArray("\x8f\xa4\x95\x69\x7f\x1a\x1c");
  }
  void cp932() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    bool ok = false;
    QCOMPARE(platform::ToCp932(text, &ok), bytes);
    QVERIFY(ok);
    QCOMPARE(platform::FromCp932(bytes), std::optional<QString>(text));
  }

  // Refused at its column, never written as something else.
  void cp932RefusesWhatItLacks() {
    const QList<QString> refused{QStringLiteral("한"), QString(QChar(0xF86F)), QString(QChar(0xF8F0)),
                                 QString(QChar(0xF8F3)), QStringLiteral("é"), QStringLiteral("😀"),
                                 QString(QChar(0xD800)), QString(QChar(0xDC00))};
    platform::Cp932Encoder encoder;
    for (const QString& c : refused) {
      QByteArray out = "x";
      qsizetype column = 0;
      QVERIFY2(!encoder.Encode(QStringLiteral("a") + c + QStringLiteral("b"), out, column), qPrintable(c));
      QCOMPARE(column, 2);
      QVERIFY(out.isEmpty());
    }
  }

  // Bytes that are no CP932 text are reported, not dropped or replaced.
  void fromCp932Refuses() {
    for (const QByteArray& bytes : {QByteArray("a\x82"), QByteArray("\x81\x20"), QByteArray("\x85\x40"),
                                    QByteArray("\x80"), QByteArray("\xA0"), QByteArray("\xFD"), QByteArray("a\xFF")})
      QVERIFY2(!platform::FromCp932(bytes), bytes.toHex().constData());
  }

  // Every BMP character that converts reads back as itself (or is one of
  // the JIS code points mapped on purpose), and every character CP932 reads
  // converts: a change in the codec's table can't slip through.
  void cp932RoundTrip() {
    const QHash<char16_t, char16_t> jis{{0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D},
                                        {0x2014, 0x2015}, {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1},
                                        {0x00AC, 0xFFE2}, {0x00A5, u'\\'}, {0x203E, u'~'}};
    platform::Cp932Encoder encoder;
    QByteArray bytes;
    qsizetype column = 0;
    int converted = 0;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
      const char16_t u = char16_t(c);
      if (!encoder.Encode(QStringView(&u, 1), bytes, column)) continue;
      ++converted;
      const QString back = platform::FromCp932(bytes).value_or(QStringLiteral("(none)"));
      QVERIFY2(back == QString(QChar(jis.value(u, u))), qPrintable(QString::number(c, 16)));
    }
    const platform::Cp932CharSet& chars = platform::Cp932Chars();
    int read = 0;
    for (int code = 0x80; code <= 0xFFFF; ++code) {
      if (!chars[code]) continue;
      ++read;
      bytes = code > 0xFF ? QByteArray(1, char(code >> 8)) + char(code) : QByteArray(1, char(code));
      const std::optional<QString> text = platform::FromCp932(bytes);
      QVERIFY2(text && text->size() == 1, bytes.toHex().constData());
      QByteArray again;
      QVERIFY2(encoder.Encode(*text, again, column), bytes.toHex().constData());
    }
    QVERIFY(read > 7000 && converted > 7000);  // the codec is there at all
  }

  // UTF-8 to CP932: the JIS code points as CP932 has them, anything else
  // CP932 lacks refused at its column, never turned into "?".
  void utf8ToCp932_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("cp932");  // empty: refused
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("invalid");
    QTest::newRow("wave dash U+301C") << QByteArray("〜") << QByteArray("\x81\x60") << 0 << false;
    QTest::newRow("double vertical line U+2016") << QByteArray("‖") << QByteArray("\x81\x61") << 0 << false;
    QTest::newRow("minus sign U+2212") << QByteArray("−") << QByteArray("\x81\x7c") << 0 << false;
    QTest::newRow("em dash U+2014") << QByteArray("—") << QByteArray("\x81\x5c") << 0 << false;
    QTest::newRow("cent, pound, not") << QByteArray("¢£¬") << QByteArray("\x81\x91\x81\x92\x81\xca") << 0 << false;
    QTest::newRow("JIS X 0201 yen and overline") << QByteArray("¥1‾") << QByteArray("\x5c" "1\x7e") << 0 << false;
    QTest::newRow("CP932's own forms stay") << QByteArray("～∥－―￠￡￢") << QByteArray("\x81\x60\x81\x61\x81\x7c\x81\x5c\x81\x91\x81\x92\x81\xca") << 0 << false;
    QTest::newRow("e acute refused") << QByteArray("caf\xc3\xa9") << QByteArray() << 4 << false;
    QTest::newRow("emoji refused") << QByteArray("a\xf0\x9f\x98\x80" "b") << QByteArray() << 2 << false;
    QTest::newRow("a character after an emoji") << QByteArray("\xf0\x9f\x98\x80한") << QByteArray() << 1 << false;
    QTest::newRow("invalid byte") << QByteArray("ab\xff") << QByteArray() << 3 << true;
    QTest::newRow("invalid after kanji") << QByteArray("商品\x80") << QByteArray() << 3 << true;
    QTest::newRow("cut at the end of the line") << QByteArray("ab\xe5\x95") << QByteArray() << 3 << true;
  }
  void utf8ToCp932() {
    QFETCH(QByteArray, utf8);
    QFETCH(QByteArray, cp932);
    QFETCH(int, column);
    QFETCH(bool, invalid);
    QByteArray out;
    qsizetype bad = -1;
    bool isInvalid = false;
    QCOMPARE(platform::Utf8ToCp932(utf8, out, bad, isInvalid), !cp932.isEmpty());
    QCOMPARE(out, cp932);
    QCOMPARE(int(bad), column);
    QCOMPARE(isInvalid, invalid);
  }

  // The one decision on what a file is written in, the same whatever the
  // chunks it is fed in: the whole file, byte by byte, or 64 KiB at a time.
  void judge_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<bool>("alsoUtf8");
    QTest::addColumn<qint64>("line");  // where
    QTest::addColumn<qint64>("column");
    const QByteArray head = "4901234567890,";
    const QByteArray ascii64k(65535, 'a');
    QTest::newRow("empty") << QByteArray() << TextEncoding::Ascii << false << 0ll << 0ll;
    QTest::newRow("ASCII") << QByteArray("a,1\r\n\x7f\x1a") << TextEncoding::Ascii << false << 0ll << 0ll;
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE" "a\0") << TextEncoding::Utf16LE << false << 0ll << 0ll;
    QTest::newRow("UTF-16 BE mark only") << QByteArray("\xFE\xFF") << TextEncoding::Utf16BE << false << 0ll << 0ll;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF" "a\xb1") << TextEncoding::Utf8 << false << 0ll << 0ll;
    QTest::newRow("CP932 kanji") << QByteArray("\x8f\xa4\x95\x69,1\r\n") << TextEncoding::ShiftJis << false << 0ll << 0ll;
    // Half-width katakana in pairs are valid UTF-8, and never above U+07FF.
    QTest::newRow("ﾐｿ") << head + "\xd0\xbf,198\r\n" << TextEncoding::ShiftJis << true << 1ll << 15ll;
    QTest::newRow("ﾂｰ") << "a\r\n" + head + "\xc2\xb0\r\n" << TextEncoding::ShiftJis << true << 2ll << 15ll;
    QTest::newRow("ﾏｰﾚｰ") << "a\rb\r" + head + "\xcf\xb0\xda\xb0" << TextEncoding::ShiftJis << true << 3ll << 15ll;
    QTest::newRow("ﾗｼﾞｵ") << "a\r\n\n" + head + "\xd7\xbc\xde\xb5" << TextEncoding::ShiftJis << true << 3ll << 15ll;
    QTest::newRow("ﾄｲﾚ用") << head + "\xc4\xb2\xda\x97\x70" << TextEncoding::ShiftJis << true << 1ll << 15ll;
    QTest::newRow("Café") << QByteArray("Caf\xc3\xa9") << TextEncoding::ShiftJis << true << 1ll << 4ll;
    QTest::newRow("UTF-8 cut by the end of the file") << QByteArray("\xd0\xbf\xd0") << TextEncoding::ShiftJis << false << 0ll << 0ll;
    QTest::newRow("4°C") << QByteArray("4\xc2\xb0" "C") << TextEncoding::ShiftJis << true << 1ll << 2ll;
    for (const char* c : {"※", "→", "㈱", "€"})
      QTest::newRow(c) << QByteArray("a,") + c + "\r\n" << TextEncoding::Utf8 << false << 0ll << 0ll;
    QTest::newRow("UTF-8 Japanese after 64 KiB") << ascii64k + "\r\n商品\r\n" << TextEncoding::Utf8 << false << 0ll << 0ll;
    // A character cut by a 64 KiB edge is judged on all its bytes.
    for (const char* cut : {"\xc3\xbd\xc4", "\xf4\x90", "\xe0\x80", "\xed\xa0", "\xf0\x8f"})
      QTest::newRow(QByteArray(cut).toHex(' ').constData()) << ascii64k + cut + ",1\r\n" << TextEncoding::ShiftJis << false << 0ll << 0ll;
    // Neither: where CP932 stops reading, in characters of its reading.
    QTest::newRow("UTF-8 with a stray byte") << QByteArray("code,name\r\n1,商品\xff\r\n") << TextEncoding::Neither << false << 2ll << 4ll;
    QTest::newRow("EUC-JP") << QByteArray("1,\xa4\xb3\xa4\xf3\r\n") << TextEncoding::Neither << false << 1ll << 6ll;
    QTest::newRow("lone lead byte at the end") << QByteArray("a\r\nb\x82") << TextEncoding::Neither << false << 2ll << 2ll;
    QTest::newRow("A0") << QByteArray("\x82\xa0\xa0") << TextEncoding::Neither << false << 1ll << 2ll;
    QTest::newRow("unassigned pair") << QByteArray("\xb1\x85\x40") << TextEncoding::Neither << false << 1ll << 2ll;
  }
  void judge() {
    QFETCH(QByteArray, file);
    QFETCH(TextEncoding, encoding);
    QFETCH(bool, alsoUtf8);
    QFETCH(qint64, line);
    QFETCH(qint64, column);
    for (qsizetype chunk : {qsizetype(0), qsizetype(1), qsizetype(65536)}) {
      platform::EncodingJudge judge;
      for (qsizetype i = 0; i < file.size(); i += chunk ? chunk : file.size())
        judge.Feed(QByteArrayView(file).sliced(i, std::min(file.size() - i, chunk ? chunk : file.size())));
      const platform::EncodingVerdict v = judge.Finish();
      QCOMPARE(v.encoding, encoding);
      QCOMPARE(v.alsoUtf8, alsoUtf8);
      QCOMPARE(v.where, (platform::TextPosition{line, column}));
    }
  }

  void charCount_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("count");
    QTest::newRow("ascii") << QByteArray("A,1") << qint64(3);
    QTest::newRow("double-byte counts once") << QByteArray("\x82\xA0\x82\xA2,1") << qint64(4);
    QTest::newRow("half-width katakana is single") << QByteArray("\xB1\xB2") << qint64(2);
    QTest::newRow("lone lead byte at the end") << QByteArray("a\x82") << qint64(2);
    QTest::newRow("empty") << QByteArray() << qint64(0);
  }
  void charCount() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, count);
    QCOMPARE(platform::Cp932CharCount(bytes), count);
  }

  // Lines as the terminal gets them, and the file's bytes consumed after
  // each. Files sent as they are read the same through the old reader.
  void lines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<files::LineConversion>("conversion");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<qint64>>("consumed");
    using L = QList<QByteArray>;
    using C = QList<qint64>;
    const auto none = files::LineConversion::None;
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << none << L{"a", "b"} << C{3, 6};
    QTest::newRow("LF alone") << QByteArray("a\nb\n") << none << L{"a", "b"} << C{2, 4};
    QTest::newRow("CR alone") << QByteArray("a\rb\r") << none << L{"a", "b"} << C{2, 4};
    QTest::newRow("no end on the last line") << QByteArray("a\r\nb") << none << L{"a", "b"} << C{3, 4};
    QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\nb\n\nc") << none << L{"a", "", "b", "", "c"}
                                      << C{3, 5, 7, 8, 9};
    QTest::newRow("empty file") << QByteArray() << none << L{} << C{};
    QTest::newRow("one empty line") << QByteArray("\r\n") << none << L{""} << C{2};
    QTest::newRow("CR then CR LF") << QByteArray("a\r\r\n") << none << L{"a", ""} << C{2, 4};
    QTest::newRow("CR LF across a buffer boundary")
        << (QByteArray(65535, 'x') + "\r\nz") << none << L{QByteArray(65535, 'x'), "z"} << C{65537, 65538};
    QTest::newRow("line longer than a buffer")
        << (QByteArray(200000, 'y') + "\n") << none << L{QByteArray(200000, 'y')} << C{200001};
    QTest::newRow("CP932 bytes untouched")
        << QByteArray("\x82\xA0\x5C,\x81\x60\x7f\x1a\x1c\r\n") << none << L{"\x82\xA0\x5C,\x81\x60\x7f\x1a\x1c"} << C{11};
    QTest::newRow("UTF-8: mark dropped, DEL SUB FS kept")
        << QByteArray("\xEF\xBB\xBF商品\x7f\x1a\x1c\r\nx") << files::LineConversion::FromUtf8
        << L{"\x8f\xa4\x95\x69\x7f\x1a\x1c", "x"} << C{14, 15};
    // 上 is U+4E0A: a 0A byte inside a code unit ends no line.
    QTest::newRow("UTF-16 LE") << Utf16(QStringLiteral("コード\t上\r\n4901\t缶\rx\n"), false)
                               << files::LineConversion::FromUtf16LE
                               << L{"\x83\x52\x81\x5b\x83\x68\t\x8f\xe3", "4901\t\x8a\xca", "x"} << C{16, 30, 34};
    QTest::newRow("UTF-16 BE") << Utf16(QStringLiteral("a\t上\r\nb"), true) << files::LineConversion::FromUtf16BE
                               << L{"a\t\x8f\xe3", "b"} << C{12, 14};
  }
  void lines() {
    QFETCH(QByteArray, content);
    QFETCH(files::LineConversion, conversion);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<qint64>, consumed);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(WriteAll(path, content));
    files::LineReader reader;
    QVERIFY(reader.Open(path, conversion));
    QCOMPARE(reader.SizeAtOpen(), content.size());
    QList<QByteArray> got;
    QList<qint64> counts;
    QByteArray line;
    while (reader.Read(line) == Next::Line) {
      got << line;
      counts << reader.BytesConsumed();
    }
    QCOMPARE(reader.LastProblem().kind, Problem::None);
    QCOMPARE(reader.Read(line), Next::End);
    QCOMPARE(got, lines);
    QCOMPARE(counts, consumed);
  }

  // A line that can't be converted is named with its column; the lines after it still read.
  void lineProblems_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<files::LineConversion>("conversion");
    QTest::addColumn<Problem::Kind>("kind");
    QTest::addColumn<qint64>("column");
    QTest::addColumn<QList<QByteArray>>("after");
    using L = QList<QByteArray>;
    const auto utf8 = files::LineConversion::FromUtf8;
    QTest::newRow("emoji") << QByteArray("b😀\r\nc") << utf8 << Problem::Unconvertible << 2ll << L{"c"};
    QTest::newRow("U+F86F") << QByteArray("ab\xef\xa1\xaf") << utf8 << Problem::Unconvertible << 3ll << L{};
    QTest::newRow("not UTF-8") << QByteArray("ab\xff\r\nc") << utf8 << Problem::NotUtf8 << 3ll << L{"c"};
    QTest::newRow("lone surrogate") << Utf16(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b\r\nc"), false)
                                    << files::LineConversion::FromUtf16LE << Problem::NotUtf16 << 2ll << L{"c"};
    QTest::newRow("odd byte at the end") << Utf16(QStringLiteral("ab"), true) + "x"
                                         << files::LineConversion::FromUtf16BE << Problem::NotUtf16 << 3ll << L{};
  }
  void lineProblems() {
    QFETCH(QByteArray, content);
    QFETCH(files::LineConversion, conversion);
    QFETCH(Problem::Kind, kind);
    QFETCH(qint64, column);
    QFETCH(QList<QByteArray>, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(WriteAll(path, content));
    files::LineReader reader;
    QVERIFY(reader.Open(path, conversion));
    QByteArray line;
    QCOMPARE(reader.Read(line), Next::Failed);
    QCOMPARE(reader.LastProblem().kind, kind);
    QCOMPARE(reader.LastProblem().column, column);
    QList<QByteArray> got;
    while (reader.Read(line) == Next::Line) got << line;
    QCOMPARE(got, after);
  }

  // A file holding nothing but a byte-order mark is as empty as an empty file.
  void byteOrderMarkAlone() {
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
      QVERIFY(WriteAll(path, mark));
      for (auto conversion : {files::LineConversion::None, files::LineConversion::FromUtf8,
                              files::LineConversion::FromUtf16LE, files::LineConversion::FromUtf16BE}) {
        files::LineReader reader;
        QVERIFY(reader.Open(path, conversion));
        QByteArray line;
        QCOMPARE(reader.Read(line), Next::End);
        QCOMPARE(reader.BytesConsumed(), qstrlen(mark));
      }
    }
  }

  // Only regular files open, and at once: a FIFO without a writer would
  // block, a device never ends.
  void onlyRegularFiles() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QList<std::pair<QString, int>> cases{
        {fifo, EINVAL}, {"/dev/zero", EINVAL}, {dir.path(), EISDIR}, {dir.filePath("missing"), ENOENT}};
    for (const auto& [path, error] : cases) {
      files::LineReader reader;
      QVERIFY(!reader.Open(path, files::LineConversion::None));
      QCOMPARE(reader.LastProblem().kind, Problem::Open);
      QCOMPARE(reader.LastProblem().error, error);
      QVERIFY(!reader.LastProblem().errorText.isEmpty());
      QByteArray line;
      QCOMPARE(reader.Read(line), Next::Failed);
      platform::EncodingVerdict verdict;
      platform::ErrorState e;
      QVERIFY(!files::JudgeFile(path, verdict, e));
      QCOMPARE(e.Number, error);
    }
  }

  void openErrorsCarryTheOsNumber() {
    QTemporaryDir dir;
    files::OutputFile out;
    QVERIFY(!out.Open(dir.filePath("no/such/folder/Korima.ini")));
    QCOMPARE(out.Error().Number, ENOENT);
    QVERIFY(!out.Error().Description.isEmpty());
    QVERIFY(!out.Open(dir.path()));
    QCOMPARE(out.Error().Number, EISDIR);
  }

  void splitFields_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("enough");
    QTest::addColumn<QList<QByteArray>>("fields");
    using L = QList<QByteArray>;
    QTest::newRow("the written form") << QByteArray("\"C:\\Data\",\"6000\",\"\",\"6001\",1,0\r\n") << true
                                      << L{"C:\\Data", "6000", "", "6001", "1", "0"};
    QTest::newRow("six lines") << QByteArray("\"a\"\r\n\"6000\"\r\n\"h\"\r\n\"6001\"\r\n1\r\n0\r\n") << true
                               << L{"a", "6000", "h", "6001", "1", "0"};
    QTest::newRow("five fields") << QByteArray("\"a\",\"6000\",\"h\",\"6001\",1\r\n") << false << L{};
    QTest::newRow("commas inside quotes") << QByteArray("\"a,b\",\"6,0\",\"h\",\"6001\",0,1") << true
                                          << L{"a,b", "6,0", "h", "6001", "0", "1"};
    QTest::newRow("blanks around bare values") << QByteArray("\"a\",\"b\",\"c\",\"d\",  2 ,\t1  \n") << true
                                               << L{"a", "b", "c", "d", "2", "1"};
    QTest::newRow("fields past the sixth ignored") << QByteArray("1,2,3,4,5,6,7,8") << true
                                                   << L{"1", "2", "3", "4", "5", "6"};
    QTest::newRow("unclosed quote runs to the end") << QByteArray("1,2,3,4,5,\"6") << true
                                                    << L{"1", "2", "3", "4", "5", "6"};
    QTest::newRow("empty") << QByteArray() << false << L{};
  }
  void splitFields() {
    QFETCH(QByteArray, content);
    QFETCH(bool, enough);
    QFETCH(QList<QByteArray>, fields);
    QList<QByteArray> got;
    QCOMPARE(files::SplitFields(content, 6, got), enough);
    if (enough) QCOMPARE(got, fields);
  }

  void parseInteger_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "6000" << true << 6000;
    QTest::newRow("blanks and sign") << " -5 " << true << -5;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("lowest") << "-32768" << true << -32768;
    QTest::newRow("past the top") << "32768" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("letters") << "12a" << false << 0;
    QTest::newRow("decimal point") << "1.0" << false << 0;
    QTest::newRow("huge") << "99999999999999999999999" << false << 0;
  }
  void parseInteger() {
    QFETCH(QString, field);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const auto v = platform::ParseInteger(field, -32768, 32767);
    QCOMPARE(v.has_value(), ok);
    if (ok) QCOMPARE(int(*v), value);
  }

  void formatFields() {
    using F = files::Field;
    QByteArray line;
    platform::ErrorState e;
    QVERIFY(files::FormatFields({F(QStringLiteral("C:\\Data")), F(QStringLiteral("6000")), F(QString()),
                                 F(QStringLiteral("6001")), F(qint64(1)), F(qint64(0))},
                                line, e));
    QCOMPARE(line, QByteArray("\"C:\\Data\",\"6000\",\"\",\"6001\",1,0\r\n"));
    QVERIFY(files::FormatFields({F(QStringLiteral("/home/データ")), F(qint64(-5))}, line, e));
    QCOMPARE(line, QByteArray("\"/home/\x83\x66\x81\x5B\x83\x5E\",-5\r\n"));
    // Texts that would not read back the same are refused, not garbled.
    QVERIFY(!files::FormatFields({F(QStringLiteral("/home/한"))}, line, e));
    QCOMPARE(e.Number, EILSEQ);
    QVERIFY(!files::FormatFields({F(QStringLiteral("/a\"b"))}, line, e));
    QCOMPARE(e.Number, EINVAL);
  }

  void outputReplacesOnlyOnCommit() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Korima.ini");
    QVERIFY(WriteAll(path, "old\r\n"));
    {
      files::OutputFile out;
      QVERIFY(out.Open(path));
      QVERIFY(out.WriteFields({files::Field(QStringLiteral("new"))}));
    }  // no commit: the old file stays
    QCOMPARE(ReadAll(path), QByteArray("old\r\n"));
    files::OutputFile out;
    QVERIFY(out.Open(path));
    QVERIFY(out.WriteFields({files::Field(QStringLiteral("new"))}));
    // Files belong to their owners: a reader elsewhere does not stand in the way.
    files::LineReader reader;
    QVERIFY(reader.Open(path, files::LineConversion::None));
    QVERIFY(out.Commit());
    QCOMPARE(ReadAll(path), QByteArray("\"new\"\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Korima.ini"});  // no temporaries left
  }

  // Where no temporary file can be made, the file is rewritten in place,
  // and only with a line that could be formatted.
  void inPlaceRewriteKeepsTheFile() {
    bool passed = false;
    QString why;
    if (RanAsUnprivileged("inPlaceRewriteKeepsTheFile", passed, why)) {
      if (!passed && (why.startsWith(QStringLiteral("nobody cannot")) || why.startsWith(QStringLiteral("runuser"))))
        QSKIP(qPrintable(why));
      QVERIFY2(passed, qPrintable(why));
      return;
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked"), path = folder + "/Korima.ini";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteAll(path, "\"old\"\r\n"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    {
      files::OutputFile out;
      QVERIFY(out.Open(path));
      QCOMPARE(ReadAll(path), QByteArray("\"old\"\r\n"));  // opening cuts nothing
      QVERIFY(!out.WriteFields({files::Field(QStringLiteral("a\"b"))}));
    }
    QCOMPARE(ReadAll(path), QByteArray("\"old\"\r\n"));
    files::OutputFile out;
    QVERIFY(out.Open(path));
    QVERIFY(out.WriteFields({files::Field(QStringLiteral("n"))}));
    QVERIFY(out.Commit());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(ReadAll(path), QByteArray("\"n\"\r\n"));  // shorter than before: nothing of the old line left
  }

  // A second SIGINT or SIGTERM ends the process at once, with 130.
  void secondSignalEndsAtOnce() {
    if (qEnvironmentVariableIsSet("KORIMA_SIGNAL_CHILD")) {
      platform::OnStopSignal([] {});
      ::raise(SIGINT);  // the first waits for the event loop, which never runs here
      ::raise(qEnvironmentVariableIntValue("KORIMA_SIGNAL_CHILD"));
      ::_exit(0);
    }
    for (int second : {SIGINT, SIGTERM}) {
      QProcess child;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("KORIMA_SIGNAL_CHILD", QString::number(second));
      child.setProcessEnvironment(env);
      child.start(QCoreApplication::applicationFilePath(), {"secondSignalEndsAtOnce"});
      QVERIFY(child.waitForFinished(10000));
      QCOMPARE(child.exitStatus(), QProcess::NormalExit);
      QCOMPARE(child.exitCode(), 130);
    }
  }

  void volumes() {
    platform::SetVolumesForTest({"/", "/mnt/usb"});
    QCOMPARE(platform::VolumeOf("/mnt/usb/data"), QStringLiteral("/mnt/usb"));
    QCOMPARE(platform::VolumeOf("/mnt/usb"), QStringLiteral("/mnt/usb"));
    QCOMPARE(platform::VolumeOf("/mnt/usbkey/data"), QStringLiteral("/"));
    QCOMPARE(platform::VolumeOf("relative/path"), QString());
    QCOMPARE(platform::VolumeOf(""), QString());
    platform::SetVolumesForTest({});
  }

  // An address means one cradle: four decimal parts, zero-padded ones too;
  // the resolver's other numeric forms are refused, names are names.
  void hostForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");  // "refused", "name", or the address it means
    QTest::newRow("plain") << " 192.168.1.100 " << "192.168.1.100";
    QTest::newRow("zero-padded part is decimal") << "127.0.0.010" << "127.0.0.10";
    QTest::newRow("zero-padded everywhere") << "192.168.001.010" << "192.168.1.10";
    QTest::newRow("zero-padded zeros") << "127.000.000.002" << "127.0.0.2";
    QTest::newRow("a part above 255") << "256.1.1.1" << "refused";
    QTest::newRow("two parts") << "127.1" << "refused";
    QTest::newRow("one number") << "2130706434" << "refused";
    QTest::newRow("hexadecimal") << "0x7f.1" << "refused";
    QTest::newRow("five parts") << "1.2.3.4.5" << "refused";
    QTest::newRow("trailing dot") << "127.0.0.1." << "refused";
    QTest::newRow("a name") << "cradle-1.shop.example" << "name";
    QTest::newRow("a name that starts with digits") << "1st-floor" << "name";
  }
  void hostForms() {
    QFETCH(QString, text);
    QFETCH(QString, address);
    const platform::net::HostText h = platform::net::ReadHost(text);
    const QString got = h.form == platform::net::HostForm::Refused ? "refused"
                        : h.form == platform::net::HostForm::Name  ? "name"
                                                                   : QHostAddress(h.ipv4).toString();
    QCOMPARE(got, address);
  }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
