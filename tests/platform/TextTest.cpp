#include "platform/Text.h"
#include "platform/TextFile.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(NumberTest, LeadingNumberRuleAndStrictWholeNumber)
{
    // text, value of val() and of strictNumber() where it accepts the text, whether it does
    const std::tuple<const char*, double, bool> cases[] = {
        {"", 0, false},       {"abc", 0, false},     {" 55 ", 55, true},   {"1 2", 12, false},
        {"-0012", -12, true}, {"+4500", 4500, true}, {"-3.5", -3.5, true}, {"1.2.3", 1.2, false},
        {"12,5", 12, false},  {"+", 0, false},       {"1e3", 1, false}};
    for (const auto& [input, value, accepted] : cases) {
        bool ok = !accepted;
        const double strict = text::strictNumber(QByteArray(input), &ok);
        EXPECT_DOUBLE_EQ(text::val(QByteArray(input)), value) << input;
        EXPECT_EQ(ok, accepted) << input;
        if (ok) {
            EXPECT_DOUBLE_EQ(strict, value) << input;
        }
    }
}

TEST(FieldCuttingTest, MidAndTokenCut)
{
    const QByteArray s("KB 001L");
    EXPECT_EQ(text::mid(s, 4, 3) + '|' + text::mid(s, 6, 10) + '|' + text::mid(s, 20, 3) + '|' + text::mid(s, 5) + '|' +
                  text::mid(s, 99),
              QByteArray("001|1L||01L|"));
    QByteArray list(" 3 , 1200,55;rest");
    QByteArray items = text::nextToken(list, ';');
    EXPECT_EQ(list, QByteArray("rest"));
    QList<QByteArray> tokens;
    while (!items.isEmpty())
        tokens << text::nextToken(items, ',');
    EXPECT_EQ(tokens, QList<QByteArray>({"3", "1200", "55"}));
}

TEST(Cp1252Test, RoundTripsEveryByte)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString decoded = text::fromCp1252(all);
    EXPECT_EQ(decoded.at(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(decoded.at(0xFC), QChar(0xFC));   // u umlaut
    EXPECT_EQ(text::toCp1252(decoded), all);
}

TEST(LineReaderTest, LinesEndAtCrOrCrLfAndBareLfStays)
{
    const QByteArray big(64 * 1024 - 1, 'x'); // a block boundary inside a CR LF pair makes no empty line
    QTemporaryFile f;
    ASSERT_TRUE(f.open() && f.write("one\r\ntwo\rthree\nstill three\r\n\r\n" + big + "\r\nlast") > 0 && f.flush());
    LineReader r;
    PendingError err;
    ASSERT_TRUE(r.open(f.fileName(), err));
    QList<QByteArray> lines;
    while (!r.atEnd())
        lines << r.readLine();
    EXPECT_EQ(lines, QList<QByteArray>({"one", "two", "three\nstill three", "", big, "last"}));
}

} // namespace
