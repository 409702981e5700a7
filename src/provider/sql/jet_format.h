// The Format function of the Jet expression service, with United States settings: the
// named formats (General Number, Currency, Fixed, Standard, Percent, Scientific, Yes/No,
// True/False, On/Off, General Date, Long/Medium/Short Date, Long/Medium/Short Time) and
// custom formats for numbers (0 # . , % E+ E- literals, up to four sections
// positive;negative;zero;null), for dates (d dd ddd dddd ddddd dddddd w ww m mm mmm mmmm
// q y yy yyyy h hh n nn s ss ttttt c AM/PM am/pm A/P a/p AMPM) and for text (@ & < >).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sql/jet_values.h"

namespace vorn::provider::sql {

struct FormatArg {
    enum Kind { Null, Number, Text } kind = Null;
    JetNumber number;
    std::string text;
};

// The formatted text, or no value when the result is Null (a Null value without a fourth
// section). firstDay (1 = Sunday) and firstWeek serve w, ww.
std::optional<std::string> FormatJetValue(const FormatArg& value, std::string_view format,
                                          int firstDay = 1, int firstWeek = 1);

}  // namespace vorn::provider::sql
