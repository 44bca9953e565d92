// Text and number helpers, Windows-1252, file channels and the start-up files.

#include "file_channels.h"
#include "history_db.h"
#include "history_lines.h"
#include "runtime_error.h"
#include "startup_files.h"
#include "vb.h"

#include "support/fakes.h"
#include "support/text.h"

#include <QLocale>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include <sys/stat.h>

using namespace vb;

TEST(TextHelpers, PositionsAreOneBasedAndTrimRemovesBlanksOnly) {
    EXPECT_EQ(Trim(S("  a b  ")), S("a b"));
    EXPECT_EQ(Trim(S("\ta\t")), S("\ta\t"));
    EXPECT_EQ(QStringList({Mid(S("abcdef"), 2, 3), Mid(S("abcdef"), 5), Mid(S("abc"), 4),
                           Mid(S("abc"), 3, 10), Left(S("abc"), 13), Right(S("abc"), 1)}),
              QStringList({S("bcd"), S("ef"), QString(), S("c"), S("abc"), S("c")}));
    EXPECT_EQ(
        (std::vector<qsizetype>{InStr(4, S("abcabc"), S("c")), InStr(6, S("abcabc"), S("c")),
                                InStr(7, S("abcabc"), S("c")), InStr(S("abc"), S("B")),
                                InStr(S("abc"), S("B"), Qt::CaseInsensitive), InStr(QString(), QString())}),
        (std::vector<qsizetype>{6, 6, 0, 0, 2, 0}));
}

TEST(TextHelpers, ValReadsTheLeadingNumberWithAPointOnly) {
    const std::pair<const char*, double> cases[] = {{"2,3450", 2.0}, {" 1 2.5x", 12.5}, {"\t-\n3", -3.0},
                                                    {".5", 0.5},     {"1.2.3", 1.2},    {"1E3", 1000.0},
                                                    {"4e", 4.0},     {"-", 0.0},        {"", 0.0}};
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(Val(S(text)), value);
    }
}

TEST(TextHelpers, CStrUsesTheLocaleSeparatorAndFifteenDigits) {
    const QLocale it(QLocale::Italian, QLocale::Italy);
    const QLocale c = QLocale::c();
    EXPECT_EQ(QStringList({CStr(2.345, it), CStr(2.345, c), CStr(2.0, it), CStr(0.1 + 0.2, c),
                           CStr(-0.545, it), CStr(1e20, c)}),
              QStringList({S("2,345"), S("2.345"), S("2"), S("0.3"), S("-0,545"), S("1E+20")}));
}

// The code page itself is the converter's: one edge of it (the euro sign, a byte it leaves undefined,
// which stays the C1 control of the same value), and every byte back to itself.
TEST(Cp1252, EveryByteDecodesToOneCharacterAndBack) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromCp1252(all);
    EXPECT_EQ(text.size(), 256);
    // The code page's own table is checked against the one Qt reaches through ICU.
    EXPECT_EQ(text, QStringDecoder("windows-1252").decode(all));
    EXPECT_EQ(toCp1252(text), all);
}

TEST(Cp1252, EachUnitOutsideTheCodePageBecomesOneQuestionMark) {
    const QString hi(QChar(0xD83D)), lo(QChar(0xDE00));
    const std::pair<QString, QByteArray> cases[] = {
        {S("a☃b"), "a?b"},
        {S("x😀y"), "x??y"},                             // a surrogate pair is two units
        {S("a") + QChar(0x200D) + S("b"), "a?b"},       // invisible characters are not dropped
        {QString(QChar(0x0080)) + QChar(0x009E), "??"}, // C1 controls of defined bytes
        {QString(QChar(0x1A)) + S("☃") + QChar(0x1A), QByteArray("\x1A?\x1A", 3)},
        {S("a") + hi, "a?"},
        {lo + S("b"), "?b"}, // nothing is carried over from the lone high surrogate before
    };
    for (const auto& [text, bytes] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(toCp1252(text), bytes);
    }
    // A long text, as a whole page, takes the same rule.
    const QString page = QString(5000, u'x') + S("☃€") + QString(5000, QChar(0x200B));
    const QByteArray encoded = toCp1252(page);
    EXPECT_EQ(encoded.size(), page.size());
    EXPECT_EQ(encoded.mid(4999, 4), QByteArray("x?\x80?"));
    EXPECT_EQ(encoded.count('?'), 5001);
}

class FileChannelsTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    int openError(int channel, const QString& file, FileChannels::Mode mode) {
        return runtimeErrorOf([&] { files.open(channel, file, mode); });
    }
    QTemporaryDir dir;
    FileChannels files;
};

TEST_F(FileChannelsTest, WritesCp1252WithCrLfAndReadsLinesEndingAtCrLfOrCr) {
    files.open(1, path("a.txt"), FileChannels::Mode::Output);
    files.printLine(1, S("Più €"));
    files.printLine(1, QString());
    files.close(1);
    EXPECT_EQ(readFile(path("a.txt")), QByteArray("Pi\xf9 \x80\r\n\r\n"));

    files.open(1, path("a.txt"), FileChannels::Mode::Append);
    files.printLine(1, S("x"));
    files.close(1);
    files.open(2, path("a.txt"), FileChannels::Mode::Input);
    for (const char* line : {"Più €", "", "x"})
        EXPECT_EQ(files.lineInput(2), S(line));
    EXPECT_TRUE(files.eof(2));
    EXPECT_EQ(runtimeErrorOf([&] { files.lineInput(2); }), rt::InputPastEnd);

    writeFile(path("b.txt"), QByteArray("one\rtwo\nthree\r\nlast"));
    files.open(1, path("b.txt"), FileChannels::Mode::Input);
    EXPECT_EQ(files.lineInput(1), S("one"));
    EXPECT_EQ(files.lineInput(1), S("two\nthree")) << "a lone line feed stays in the line";
    EXPECT_FALSE(files.eof(1));
    EXPECT_EQ(files.lineInput(1), S("last"));
    EXPECT_TRUE(files.eof(1));
}

TEST_F(FileChannelsTest, OpenFailuresCarryTheRuntimeNumbers) {
    using M = FileChannels::Mode;
    writeFile(path("keep.txt"), QByteArray("precious\r\n"));
    const std::tuple<QString, M, int> cases[] = {{path("missing.txt"), M::Input, rt::FileNotFound},
                                                 {path("no/such/x.txt"), M::Append, rt::PathNotFound},
                                                 {QString(), M::Input, rt::BadFileName},
                                                 {dir.path(), M::Input, rt::PathFileAccessError},
                                                 {path("keep.txt"), M::Create, 58}};
    for (const auto& [file, mode, error] : cases) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(openError(1, file, mode), error);
        EXPECT_FALSE(files.isOpen(1));
    }
    EXPECT_EQ(readFile(path("keep.txt")), QByteArray("precious\r\n")) << "create never truncates";

    files.open(1, path("h.txt"), M::Append);
    const QString sameFile = dir.path() + QStringLiteral("/./h.txt");
    EXPECT_EQ(openError(2, sameFile, M::Append), rt::FileAlreadyOpen);
    EXPECT_EQ(openError(1, path("other.txt"), M::Append), rt::FileAlreadyOpen);
    files.close(1);
    EXPECT_EQ(openError(2, sameFile, M::Append), 0);
}

// A device or a pipe, named directly or through a link, is refused at once by every reader and writer:
// read it would never end, or block with the folder held.
TEST_F(FileChannelsTest, OnlyRegularFilesAreReadOrWritten) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(S("/dev/zero"), path("zero")));
    for (const QString& special : {path("fifo"), path("zero"), S("/dev/null")}) {
        SCOPED_TRACE(special.toStdString());
        for (const auto mode : {FileChannels::Mode::Input, FileChannels::Mode::Append})
            EXPECT_EQ(openError(1, special, mode), rt::PathFileAccessError);
        QString refused;
        EXPECT_TRUE(readAllLines(special, &refused).isEmpty());
        EXPECT_TRUE(refused.contains(S("non è un file regolare")));
        EXPECT_TRUE(history::missingLines(special, {S("x")}) == QStringList{S("x")});
        EXPECT_TRUE(history::fileDecimalSeparator(special).isNull());
        HistoryDb db;
        EXPECT_EQ(runtimeErrorOf([&] { db.open(special); }), rt::DbCannotOpen);
    }
}

TEST(StartupFiles, CredentialsNeedTheMarkerAndFourLines) {
    const auto ok = parseCredentials({S("  RAS_QX.DLL  "), S(" Casa "), S("mario"), S(" s3gret ")});
    ASSERT_TRUE(ok);
    EXPECT_EQ(QStringList({ok->connectionName, ok->userName, ok->password}),
              QStringList({S("Casa"), S("mario"), S("s3gret")}));
    EXPECT_FALSE(parseCredentials({S("ras_qx.dll"), S("Casa"), S("mario"), S("pw")}));
    EXPECT_FALSE(parseCredentials({S("RAS_QX.DLL"), S("Casa"), S("mario")}));

    // An empty fourth line needs its line break.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("RAS_QX.DLL"));
    for (const QByteArray& text :
         {QByteArray("RAS_QX.DLL\r\nCasa\r\nmario\r\n\r\n"), QByteArray("RAS_QX.DLL\r\nCasa\r\nmario\r\n")}) {
        writeFile(file, text);
        const auto read = parseCredentials(readAllLines(file));
        EXPECT_EQ(read ? read->password : S("none"), text.endsWith("\r\n\r\n") ? QString() : S("none"));
    }
    EXPECT_TRUE(readAllLines(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST(StartupFiles, TenorItemsAreTheFirstTwoWordsOfLinesNamingEuribor) {
    const QStringList lines = {S("  DETTAGLIO TASSI EURIBOR "),
                               S("Euribor 1 sett. 3,456"),
                               S("nothing here"),
                               S("EuRibor 3m   2,064  04/12/2026"),
                               S("euribor"),
                               S("Dettaglio tassi Euribor"),
                               S("EuRibor 3m 2,1")};
    EXPECT_EQ(tenorItems(lines),
              (QStringList{S("Euribor 1"), S("EuRibor 3m"), S("euribor"), S("EuRibor 3m")}));
}
