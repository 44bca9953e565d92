// Text and number helpers, Windows-1252, file channels and the start-up files.

#include "file_channels.h"
#include "runtime_error.h"
#include "startup_files.h"
#include "vb.h"

#include "support/fakes.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vb;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

TEST(TextHelpers, TrimRemovesBlanksOnly) {
    EXPECT_EQ(Trim(S("  a b  ")), S("a b"));
    EXPECT_EQ(Trim(S("\ta\t")), S("\ta\t"));
    EXPECT_EQ(Trim(S("   ")), QString());
}

TEST(TextHelpers, PositionsAreOneBased) {
    EXPECT_EQ(Mid(S("abcdef"), 2, 3), S("bcd"));
    EXPECT_EQ(Mid(S("abcdef"), 5), S("ef"));
    EXPECT_EQ(Mid(S("abc"), 4), QString());
    EXPECT_EQ(Mid(S("abc"), 3, 10), S("c"));
    EXPECT_EQ(Left(S("abc"), 13), S("abc"));
    EXPECT_EQ(Right(S("abc"), 1), S("c"));
    EXPECT_EQ(InStr(S("abcabc"), S("c")), 3);
    EXPECT_EQ(InStr(4, S("abcabc"), S("c")), 6);
    EXPECT_EQ(InStr(7, S("abcabc"), S("c")), 0);
    EXPECT_EQ(InStr(S("abc"), S("B")), 0);
    EXPECT_EQ(InStr(S("abc"), S("B"), Qt::CaseInsensitive), 2);
    EXPECT_EQ(InStr(QString(), QString()), 0);
}

TEST(TextHelpers, ValReadsTheLeadingNumberWithAPointOnly) {
    EXPECT_DOUBLE_EQ(Val(S("2,3450")), 2.0);
    EXPECT_DOUBLE_EQ(Val(S("-100")), -100.0);
    EXPECT_DOUBLE_EQ(Val(S("00")), 0.0);
    EXPECT_DOUBLE_EQ(Val(S("2.3450")), 2.345);
    EXPECT_DOUBLE_EQ(Val(S(" 1 2.5x")), 12.5);
    EXPECT_DOUBLE_EQ(Val(S("\t-\n3")), -3.0);
    EXPECT_DOUBLE_EQ(Val(S(".5")), 0.5);
    EXPECT_DOUBLE_EQ(Val(S("1.2.3")), 1.2);
    EXPECT_DOUBLE_EQ(Val(S("1E3")), 1000.0);
    EXPECT_DOUBLE_EQ(Val(S("4e")), 4.0);
    EXPECT_DOUBLE_EQ(Val(S("abc")), 0.0);
    EXPECT_DOUBLE_EQ(Val(S("-")), 0.0);
    EXPECT_DOUBLE_EQ(Val(QString()), 0.0);
}

TEST(TextHelpers, CStrUsesTheLocaleSeparatorAndFifteenDigits) {
    const QLocale it(QLocale::Italian, QLocale::Italy);
    const QLocale c = QLocale::c();
    EXPECT_EQ(CStr(2.345, it), S("2,345"));
    EXPECT_EQ(CStr(2.345, c), S("2.345"));
    EXPECT_EQ(CStr(2.0, it), S("2"));
    EXPECT_EQ(CStr(-100.0, it), S("-100"));
    EXPECT_EQ(CStr(0.0, it), S("0"));
    EXPECT_EQ(CStr(0.1 + 0.2, c), S("0.3"));
    EXPECT_EQ(CStr(-0.545, it), S("-0,545"));
    EXPECT_EQ(CStr(1e20, c), S("1E+20"));
}

TEST(Cp1252, RoundTripsTheCodePageAndMarksWhatItLacks) {
    const QByteArray bytes("\x80 \xe0\xe8\xec\xf2\xf9 \x93x\x94");
    const QString text = fromCp1252(bytes);
    EXPECT_EQ(text, S("€ àèìòù “x”"));
    EXPECT_EQ(toCp1252(text), bytes);
    EXPECT_EQ(toCp1252(S("a☃b")), QByteArray("a?b"));
}

class FileChannelsTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    FileChannels files;
};

TEST_F(FileChannelsTest, WritesCp1252WithCrLfAndReadsLinesBack) {
    files.open(1, path("a.txt"), FileChannels::Mode::Output);
    files.printLine(1, S("Più €"));
    files.printLine(1, QString());
    files.close(1);
    EXPECT_EQ(readFile(path("a.txt")), QByteArray("Pi\xf9 \x80\r\n\r\n"));

    files.open(1, path("a.txt"), FileChannels::Mode::Append);
    files.printLine(1, S("x"));
    files.close(1);
    files.open(2, path("a.txt"), FileChannels::Mode::Input);
    EXPECT_EQ(files.lineInput(2), S("Più €"));
    EXPECT_EQ(files.lineInput(2), QString());
    EXPECT_EQ(files.lineInput(2), S("x"));
    EXPECT_TRUE(files.eof(2));
    EXPECT_EQ(runtimeErrorOf([&] { files.lineInput(2); }), rt::InputPastEnd);
}

TEST_F(FileChannelsTest, LinesEndAtCrLfOrCrButALoneLineFeedStays) {
    writeFile(path("b.txt"), QByteArray("one\rtwo\nthree\r\nlast"));
    files.open(1, path("b.txt"), FileChannels::Mode::Input);
    EXPECT_EQ(files.lineInput(1), S("one"));
    EXPECT_EQ(files.lineInput(1), S("two\nthree"));
    EXPECT_FALSE(files.eof(1));
    EXPECT_EQ(files.lineInput(1), S("last"));
    EXPECT_TRUE(files.eof(1));
}

TEST_F(FileChannelsTest, RefusesTheSameFileOnBothChannels) {
    files.open(1, path("h.txt"), FileChannels::Mode::Append);
    const QString sameFile = dir.path() + QStringLiteral("/./h.txt");
    EXPECT_EQ(runtimeErrorOf([&] { files.open(2, sameFile, FileChannels::Mode::Append); }),
              rt::FileAlreadyOpen);
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, path("other.txt"), FileChannels::Mode::Append); }),
              rt::FileAlreadyOpen);
    files.close(1);
    EXPECT_EQ(runtimeErrorOf([&] { files.open(2, sameFile, FileChannels::Mode::Append); }), 0);
}

TEST_F(FileChannelsTest, OpenFailuresCarryTheRuntimeNumbers) {
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, path("missing.txt"), FileChannels::Mode::Input); }),
              rt::FileNotFound);
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, path("no/such/x.txt"), FileChannels::Mode::Append); }),
              rt::PathNotFound);
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, QString(), FileChannels::Mode::Input); }), rt::BadFileName);
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, dir.path(), FileChannels::Mode::Input); }),
              rt::PathFileAccessError);
    EXPECT_FALSE(files.isOpen(1));
}

TEST_F(FileChannelsTest, CreateNeverTruncatesAnExistingFile) {
    writeFile(path("keep.txt"), QByteArray("precious\r\n"));
    EXPECT_EQ(runtimeErrorOf([&] { files.open(1, path("keep.txt"), FileChannels::Mode::Create); }), 58);
    EXPECT_EQ(readFile(path("keep.txt")), QByteArray("precious\r\n"));
}

TEST(StartupFiles, CredentialsNeedTheMarkerAndFourLines) {
    const auto ok = parseCredentials({S("  RAS_QX.DLL  "), S(" Casa "), S("mario"), S(" s3gret ")});
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->connectionName, S("Casa"));
    EXPECT_EQ(ok->userName, S("mario"));
    EXPECT_EQ(ok->password, S("s3gret"));
    EXPECT_FALSE(parseCredentials({S("ras_qx.dll"), S("Casa"), S("mario"), S("pw")}));
    EXPECT_FALSE(parseCredentials({S("RAS_QX.DLL"), S("Casa"), S("mario")}));
    EXPECT_FALSE(parseCredentials({}));
}

TEST(StartupFiles, AnEmptyFourthLineNeedsItsLineBreak) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("RAS_QX.DLL"));
    writeFile(file, QByteArray("RAS_QX.DLL\r\nCasa\r\nmario\r\n\r\n"));
    const auto withBreak = parseCredentials(readAllLines(file));
    ASSERT_TRUE(withBreak);
    EXPECT_EQ(withBreak->password, QString());
    writeFile(file, QByteArray("RAS_QX.DLL\r\nCasa\r\nmario\r\n"));
    EXPECT_FALSE(parseCredentials(readAllLines(file)));
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
    EXPECT_TRUE(tenorItems({}).isEmpty());
}
