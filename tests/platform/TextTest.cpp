#include "platform/KeyedList.h"
#include "platform/Text.h"
#include "platform/TextFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ValCase {
    const char* text;
    double value;
};

class NumberRuleTest : public ::testing::TestWithParam<ValCase> {};

TEST_P(NumberRuleTest, ReadsTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(text::val(QByteArray(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberRuleTest,
                         ::testing::Values(ValCase{"", 0}, ValCase{"abc", 0}, ValCase{"00150", 150},
                                           ValCase{"  12", 12}, ValCase{"1 2", 12}, ValCase{"-0012", -12},
                                           ValCase{"+4500", 4500}, ValCase{"-0000", 0}, ValCase{"12.5x", 12.5},
                                           ValCase{"1.2.3", 1.2}, ValCase{"007", 7}, ValCase{"12,5", 12},
                                           ValCase{"  -", 0}, ValCase{"3A", 3}, ValCase{"1e3", 1}));

TEST(StrictNumberTest, AcceptsOnlyAWholeNumber)
{
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {{"1200", true, 1200}, {" 55 ", true, 55}, {"-3.5", true, -3.5}, {"", false, 0},
                 {"     ", false, 0}, {"12a", false, 0},  {"1 2", false, 0},   {"+", false, 0},
                 {".", false, 0},      {"007", true, 7}};
    for (const auto& c : cases) {
        bool ok = !c.ok;
        const double v = text::strictNumber(QByteArray(c.text), &ok);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

TEST(FieldCuttingTest, MidAndTokenCut)
{
    const QByteArray s("KB 001L");
    EXPECT_EQ(text::mid(s, 4, 3), QByteArray("001"));
    EXPECT_EQ(text::mid(s, 6, 10), QByteArray("1L"));
    EXPECT_EQ(text::mid(s, 20, 3), QByteArray());
    EXPECT_EQ(text::mid(s, 5), QByteArray("01L"));
    EXPECT_EQ(text::mid(s, 99), QByteArray());

    QByteArray list(" 3 , 1200,55;rest");
    EXPECT_EQ(text::nextToken(list, ';'), QByteArray("3 , 1200,55"));
    EXPECT_EQ(list, QByteArray("rest"));
    QByteArray items("3 , 1200,55");
    EXPECT_EQ(text::nextToken(items, ','), QByteArray("3"));
    EXPECT_EQ(text::nextToken(items, ','), QByteArray("1200"));
    EXPECT_EQ(text::nextToken(items, ','), QByteArray("55"));
    EXPECT_TRUE(items.isEmpty());
}

TEST(ShortestDecimalTest, WritesNumbersWithoutPaddingOrExponent)
{
    EXPECT_EQ(text::shortestDecimal(12), QStringLiteral("12"));
    EXPECT_EQ(text::shortestDecimal(-3), QStringLiteral("-3"));
    EXPECT_EQ(text::shortestDecimal(1234.5), QStringLiteral("1234.5"));
    EXPECT_EQ(text::shortestDecimal(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(text::shortestDecimal(0), QStringLiteral("0"));
}

TEST(Cp1252Test, RoundTripsEveryByte)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString decoded = text::fromCp1252(all);
    EXPECT_EQ(decoded.size(), 256);
    EXPECT_EQ(decoded.at(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(decoded.at(0xFC), QChar(0xFC));   // u umlaut
    EXPECT_EQ(text::toCp1252(decoded), all);
}

TEST(LineReaderTest, LinesEndAtCrOrCrLfAndBareLfStays)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/j.$tx");
    // a block boundary inside a CR LF pair must not produce an empty line
    QByteArray big(64 * 1024 - 1, 'x');
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("one\r\ntwo\rthree\nstill three\r\n\r\n" + big + "\r\nlast");
    f.close();

    LineReader r;
    PendingError err;
    ASSERT_TRUE(r.open(path, err));
    QList<QByteArray> lines;
    while (!r.atEnd())
        lines << r.readLine();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QByteArray("one"));
    EXPECT_EQ(lines[1], QByteArray("two"));
    EXPECT_EQ(lines[2], QByteArray("three\nstill three"));
    EXPECT_EQ(lines[3], QByteArray());
    EXPECT_EQ(lines[4], big);
    EXPECT_EQ(lines[5], QByteArray("last"));
}

TEST(LineReaderTest, MissingFileRaisesFileNotFound)
{
    LineReader r;
    PendingError err;
    EXPECT_FALSE(r.open(QStringLiteral("/nonexistent/dir/x.$tx"), err));
    EXPECT_EQ(err.number, ErrorNumber::FileNotFound);
}

TEST(KeyedListTest, FirstEntryOfAKeyWinsAndTextKeepsAllEntries)
{
    KeyedList l;
    EXPECT_TRUE(l.isEmpty());
    l.append(QStringLiteral("2"), QStringLiteral("0005"));
    l.append(QStringLiteral("3"), QStringLiteral("0007"));
    l.append(QStringLiteral("2"), QStringLiteral("0009"));
    bool found = false;
    EXPECT_EQ(l.find(QStringLiteral("2"), &found), QStringLiteral("0005"));
    EXPECT_TRUE(found);
    EXPECT_TRUE(l.find(QStringLiteral("20"), &found).isEmpty());
    EXPECT_FALSE(found);
    EXPECT_EQ(l.text(), QStringLiteral("#2,0005;#3,0007;#2,0009;"));
}

} // namespace
