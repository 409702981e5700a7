// Exact decimals at the edges where their arithmetic changes width: 64-bit mantissas and
// those that need all 128 bits, 19 and 20 digits, 38 and 39 digits; and the NUMERIC values
// a row's text becomes, read back as text through IDataConvert.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "com_object.h"
#include "rowset/row_codec.h"
#include "values/data_convert.h"
#include "values/exact_decimal.h"
#include "values/value_conversion.h"

namespace {

using vorn::provider::DecimalStatus;
using vorn::provider::ExactDecimal;
using vorn::provider::Uint128;

Uint128 Parse128(const char* digits) {
    Uint128 v = 0;
    for (const char* p = digits; *p; ++p)
        v = v * 10 + static_cast<unsigned>(*p - '0');
    return v;
}

ExactDecimal Make(const char* digits, int scale, bool negative = false) {
    ExactDecimal d;
    d.mantissa = Parse128(digits);
    d.scale = scale;
    d.negative = negative;
    return d;
}

std::string Text(const ExactDecimal& d) {
    char out[vorn::provider::kDecimalTextMax];
    const std::string viaChars(out, vorn::provider::DecimalToChars(d, out));
    EXPECT_EQ(viaChars, vorn::provider::DecimalToText(d));
    return viaChars;
}

std::string Reparsed(const std::string& text) {
    ExactDecimal d;
    if (vorn::provider::ParseDecimal(text.data(), text.size(), &d) != DecimalStatus::Ok)
        return "refused";
    return Text(d);
}

TEST(ExactDecimal, TextOnEitherSideOfSixtyFourBits) {
    EXPECT_EQ(Text(Make("0", 0)), "0");
    EXPECT_EQ(Text(Make("0", 3)), "0.000");
    EXPECT_EQ(Text(Make("5", 3, true)), "-0.005");
    EXPECT_EQ(Text(Make("12345", 2)), "123.45");
    EXPECT_EQ(Text(Make("18446744073709551615", 0)), "18446744073709551615");
    EXPECT_EQ(Text(Make("18446744073709551616", 0)), "18446744073709551616");
    EXPECT_EQ(Text(Make("18446744073709551617", 19, true)), "-1.8446744073709551617");
    EXPECT_EQ(Text(Make("99999999999999999999999999999999999999", 38)),
              "0.99999999999999999999999999999999999999");
    EXPECT_EQ(Text(Make("340282366920938463463374607431768211455", 38, true)),
              "-3.40282366920938463463374607431768211455");
    EXPECT_EQ(Text(Make("1", 38)), "0.00000000000000000000000000000000000001");

    // Digits per mantissa, with 10^n and 10^n - 1 on both sides of each step.
    const struct {
        const char* digits;
        int count;
    } counts[] = {{"0", 1},
                  {"9", 1},
                  {"10", 2},
                  {"9999999999999999999", 19},
                  {"10000000000000000000", 20},
                  {"18446744073709551616", 20},
                  {"99999999999999999999999999999999999999", 38},
                  {"100000000000000000000000000000000000000", 39},
                  {"340282366920938463463374607431768211455", 39}};
    for (const auto& c : counts)
        EXPECT_EQ(vorn::provider::DigitCount(Parse128(c.digits)), c.count) << c.digits;
}

TEST(ExactDecimal, ParsingKeepsEveryDigitUpToThirtyEight) {
    for (const char* text :
         {"0.01", "-999.99", "9999999999999999999", "10000000000000000000", "18446744073709551616",
          "-12345678901234567890.12", "99999999999999999999999999999999999999",
          "0.00000000000000000000000000000000000001"})
        EXPECT_EQ(Reparsed(text), text);
    // Past 38 significant digits the first dropped digit rounds; before the point the value
    // grows until it no longer fits.
    EXPECT_EQ(Reparsed("1.234567890123456789012345678901234567895"),
              "1.2345678901234567890123456789012345679");
    EXPECT_EQ(Reparsed("123456789012345678901234567890123456789"),
              "123456789012345678901234567890123456790");
    EXPECT_EQ(Reparsed("1e38"), "100000000000000000000000000000000000000");
    EXPECT_EQ(Reparsed("1e39"), "refused");
    EXPECT_EQ(Reparsed("4e38"), "refused");
    EXPECT_EQ(Reparsed(" -0.000 "), "0");  // zero keeps no sign and no scale
    EXPECT_EQ(Reparsed("-0.00"), "0");
    EXPECT_EQ(Reparsed("+5"), "5");
    EXPECT_EQ(Reparsed(".5"), "0.5");
    EXPECT_EQ(Reparsed("5."), "5");
    EXPECT_EQ(Reparsed("000000000000000000000000.50"), "0.50");
    EXPECT_EQ(Reparsed("1.5e2"), "150");
    for (const char* bad : {"", "-", ".", "1.2.3", "12a", "--1", "0x10", "1e"})
        EXPECT_EQ(Reparsed(bad), "refused") << bad;
}

TEST(ExactDecimal, RescalingRoundsHalfAwayFromZeroInEitherWidth) {
    const struct {
        const char* digits;
        int from;
        int to;
        const char* expected;
    } cases[] = {
        {"125", 2, 1, "1.3"},
        {"124", 2, 1, "1.2"},
        // The remainder is more than half of 2^64 here: twice it does not fit 64 bits.
        {"15000000000000000000", 19, 0, "2"},
        {"14999999999999999999", 19, 0, "1"},
        {"18446744073709551615", 1, 0, "1844674407370955162"},
        {"18446744073709551616", 1, 0, "1844674407370955162"},
        {"340282366920938463463374607431768211455", 38, 0, "3"},
        {"3", 0, 38, "3.00000000000000000000000000000000000000"},
        {"7", 1, 40, "0.70000000000000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        ExactDecimal d = Make(c.digits, c.from);
        const DecimalStatus s = vorn::provider::Rescale(&d, c.to);
        if (c.to > 38) {
            EXPECT_EQ(s, DecimalStatus::Overflow) << c.digits;
            continue;
        }
        ASSERT_EQ(s, DecimalStatus::Ok) << c.digits;
        EXPECT_EQ(Text(d), c.expected) << c.digits;
    }
    ExactDecimal big = Make("340282366920938463463374607431768211455", 0);
    EXPECT_EQ(vorn::provider::Rescale(&big, 1), DecimalStatus::Overflow);
    ExactDecimal four = Make("4", 0);
    EXPECT_EQ(vorn::provider::Rescale(&four, 38), DecimalStatus::Overflow);
    ExactDecimal zero = Make("0", 0);
    EXPECT_EQ(vorn::provider::Rescale(&zero, 38), DecimalStatus::Ok);
    EXPECT_EQ(Text(zero), "0.00000000000000000000000000000000000000");
}

// Text as a row stores it, converted to DBTYPE_NUMERIC as GetData does, then back to text
// through IDataConvert as the consumer does for its fields.
std::string ThroughNumeric(const std::string& text, BYTE precision, BYTE scale) {
    vorn::provider::Cell cell;
    cell.kind = vorn::provider::CellKind::Text;
    cell.bytes = text.data();
    cell.size = text.size();
    DB_NUMERIC numeric{};
    vorn::provider::ConversionTarget target;
    target.type = DBTYPE_NUMERIC;
    target.value = &numeric;
    target.maxLength = sizeof numeric;
    const vorn::provider::SourceColumn column{DBTYPE_NUMERIC, precision, scale};
    const vorn::provider::ConversionOutcome r = vorn::provider::ConvertCell(cell, column, target);
    if (r.status != DBSTATUS_S_OK)
        return "status " + std::to_string(r.status);
    ComPtr<IDataConvert> convert;
    EXPECT_EQ(vorn::provider::CreateDataConvertObject(nullptr, IID_IDataConvert,
                                                      reinterpret_cast<void**>(&convert)),
              S_OK);
    char out[100] = {};
    DBLENGTH length = 0;
    DBSTATUS status = 0;
    EXPECT_EQ(convert->DataConvert(DBTYPE_NUMERIC, DBTYPE_STR, sizeof numeric, &length, &numeric,
                                   out, sizeof out, DBSTATUS_S_OK, &status, 0, 0, 0),
              S_OK);
    return std::string(out, length);
}

TEST(ExactDecimal, NumericValuesOfRowsReadBackAsTheirText) {
    EXPECT_EQ(ThroughNumeric("0.01", 12, 2), "0.01");
    EXPECT_EQ(ThroughNumeric("-999.99", 12, 2), "-999.99");
    EXPECT_EQ(ThroughNumeric("1.005", 12, 2), "1.01");
    EXPECT_EQ(ThroughNumeric("18446744073709551616", 38, 0), "18446744073709551616");
    EXPECT_EQ(ThroughNumeric("-12345678901234567890.12", 38, 2), "-12345678901234567890.12");
    EXPECT_EQ(ThroughNumeric("99999999999999999999999999999999999999", 38, 0),
              "99999999999999999999999999999999999999");
    EXPECT_EQ(ThroughNumeric("0.00000000000000000000000000000000000001", 38, 38),
              "0.00000000000000000000000000000000000001");
    // Too many digits for the column's precision.
    EXPECT_EQ(ThroughNumeric("1000.00", 5, 2), "status " + std::to_string(DBSTATUS_E_DATAOVERFLOW));
}

}  // namespace
