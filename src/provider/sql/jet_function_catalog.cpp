// The Jet functions the translator knows.
#include "sql/jet_function_catalog.h"

#include <cstring>
#include <cwctype>
#include <unordered_map>

#include "sql/jet_function_support.h"
#include "text_helpers.h"

namespace vorn::provider::sql {
namespace {

struct Name {
    const char* jet;
    const char* sqlite;
};

// Jet names of the registered scalar functions (aliases map to the same function).
const Name kScalars[] = {
    {"Len", "jet_len"},
    {"Left", "jet_left"},
    {"Right", "jet_right"},
    {"Mid", "jet_mid"},
    {"InStr", "jet_instr"},
    {"InStrRev", "jet_instrrev"},
    {"UCase", "jet_ucase"},
    {"LCase", "jet_lcase"},
    {"Trim", "jet_trim"},
    {"LTrim", "jet_ltrim"},
    {"RTrim", "jet_rtrim"},
    {"Space", "jet_space"},
    {"String", "jet_string"},
    {"Replace", "jet_replace"},
    {"StrComp", "jet_strcomp"},
    {"StrReverse", "jet_strreverse"},
    {"Chr", "jet_chr"},
    {"ChrW", "jet_chr"},
    {"Asc", "jet_asc"},
    {"AscW", "jet_asc"},
    {"Format", "jet_format"},
    {"CLng", "jet_clng"},
    {"CInt", "jet_cint"},
    {"CByte", "jet_cbyte"},
    {"CDbl", "jet_cdbl"},
    {"CSng", "jet_csng"},
    {"CCur", "jet_ccur"},
    {"CBool", "jet_cbool"},
    {"CStr", "jet_cstr"},
    {"CDate", "jet_cdate"},
    {"CVDate", "jet_cdate"},
    {"Val", "jet_val"},
    {"Str", "jet_str"},
    {"Hex", "jet_hex"},
    {"Oct", "jet_oct"},
    {"Int", "jet_int"},
    {"Fix", "jet_fix"},
    {"Abs", "jet_abs"},
    {"Sgn", "jet_sgn"},
    {"Sqr", "jet_sqr"},
    {"Exp", "jet_exp"},
    {"Log", "jet_log"},
    {"Atn", "jet_atn"},
    {"Sin", "jet_sin"},
    {"Cos", "jet_cos"},
    {"Tan", "jet_tan"},
    {"Round", "jet_round"},
    {"IsNull", "jet_isnull"},
    {"IsNumeric", "jet_isnumeric"},
    {"IsDate", "jet_isdate"},
    {"Now", "jet_now"},
    {"Date", "jet_date"},
    {"Time", "jet_time"},
    {"Year", "jet_year"},
    {"Month", "jet_month"},
    {"Day", "jet_day"},
    {"Hour", "jet_hour"},
    {"Minute", "jet_minute"},
    {"Second", "jet_second"},
    {"Weekday", "jet_weekday"},
    {"DateAdd", "jet_dateadd"},
    {"DateDiff", "jet_datediff"},
    {"DatePart", "jet_datepart"},
    {"DateSerial", "jet_dateserial"},
    {"TimeSerial", "jet_timeserial"},
    {"DateValue", "jet_datevalue"},
    {"TimeValue", "jet_timevalue"},
    {"MonthName", "jet_monthname"},
    {"WeekdayName", "jet_weekdayname"},
};

// The result types of the functions (by SQLite name); functions not listed give a value
// whose type only its first value tells.
struct Result {
    const char* sqlite;
    TypeRule rule;
    ValueKind kind;
};

const Result kResults[] = {
    {"jet_left", TypeRule::Fixed, ValueKind::Text},
    {"jet_right", TypeRule::Fixed, ValueKind::Text},
    {"jet_mid", TypeRule::Fixed, ValueKind::Text},
    {"jet_ucase", TypeRule::Fixed, ValueKind::Text},
    {"jet_lcase", TypeRule::Fixed, ValueKind::Text},
    {"jet_trim", TypeRule::Fixed, ValueKind::Text},
    {"jet_ltrim", TypeRule::Fixed, ValueKind::Text},
    {"jet_rtrim", TypeRule::Fixed, ValueKind::Text},
    {"jet_space", TypeRule::Fixed, ValueKind::Text},
    {"jet_string", TypeRule::Fixed, ValueKind::Text},
    {"jet_replace", TypeRule::Fixed, ValueKind::Text},
    {"jet_strreverse", TypeRule::Fixed, ValueKind::Text},
    {"jet_chr", TypeRule::Fixed, ValueKind::Text},
    {"jet_format", TypeRule::Fixed, ValueKind::Text},
    {"jet_cstr", TypeRule::Fixed, ValueKind::Text},
    {"jet_str", TypeRule::Fixed, ValueKind::Text},
    {"jet_hex", TypeRule::Fixed, ValueKind::Text},
    {"jet_oct", TypeRule::Fixed, ValueKind::Text},
    {"jet_monthname", TypeRule::Fixed, ValueKind::Text},
    {"jet_weekdayname", TypeRule::Fixed, ValueKind::Text},
    {"jet_len", TypeRule::Fixed, ValueKind::Long},
    {"jet_instr", TypeRule::Fixed, ValueKind::Long},
    {"jet_instrrev", TypeRule::Fixed, ValueKind::Long},
    {"jet_clng", TypeRule::Fixed, ValueKind::Long},
    {"jet_datediff", TypeRule::Fixed, ValueKind::Long},
    {"jet_strcomp", TypeRule::Fixed, ValueKind::Short},
    {"jet_asc", TypeRule::Fixed, ValueKind::Short},
    {"jet_cint", TypeRule::Fixed, ValueKind::Short},
    {"jet_sgn", TypeRule::Fixed, ValueKind::Short},
    {"jet_year", TypeRule::Fixed, ValueKind::Short},
    {"jet_month", TypeRule::Fixed, ValueKind::Short},
    {"jet_day", TypeRule::Fixed, ValueKind::Short},
    {"jet_hour", TypeRule::Fixed, ValueKind::Short},
    {"jet_minute", TypeRule::Fixed, ValueKind::Short},
    {"jet_second", TypeRule::Fixed, ValueKind::Short},
    {"jet_weekday", TypeRule::Fixed, ValueKind::Short},
    {"jet_datepart", TypeRule::Fixed, ValueKind::Short},
    {"jet_cbyte", TypeRule::Fixed, ValueKind::Byte},
    {"jet_cdbl", TypeRule::Fixed, ValueKind::Double},
    {"jet_val", TypeRule::Fixed, ValueKind::Double},
    {"jet_sqr", TypeRule::Fixed, ValueKind::Double},
    {"jet_exp", TypeRule::Fixed, ValueKind::Double},
    {"jet_log", TypeRule::Fixed, ValueKind::Double},
    {"jet_atn", TypeRule::Fixed, ValueKind::Double},
    {"jet_sin", TypeRule::Fixed, ValueKind::Double},
    {"jet_cos", TypeRule::Fixed, ValueKind::Double},
    {"jet_tan", TypeRule::Fixed, ValueKind::Double},
    {"jet_csng", TypeRule::Fixed, ValueKind::Single},
    {"jet_ccur", TypeRule::Fixed, ValueKind::Currency},
    {"jet_cbool", TypeRule::Fixed, ValueKind::Bool},
    {"jet_isnull", TypeRule::Fixed, ValueKind::Bool},
    {"jet_isnumeric", TypeRule::Fixed, ValueKind::Bool},
    {"jet_isdate", TypeRule::Fixed, ValueKind::Bool},
    {"jet_cdate", TypeRule::Fixed, ValueKind::Date},
    {"jet_now", TypeRule::Fixed, ValueKind::Date},
    {"jet_date", TypeRule::Fixed, ValueKind::Date},
    {"jet_time", TypeRule::Fixed, ValueKind::Date},
    {"jet_dateadd", TypeRule::Fixed, ValueKind::Date},
    {"jet_dateserial", TypeRule::Fixed, ValueKind::Date},
    {"jet_timeserial", TypeRule::Fixed, ValueKind::Date},
    {"jet_datevalue", TypeRule::Fixed, ValueKind::Date},
    {"jet_timevalue", TypeRule::Fixed, ValueKind::Date},
    {"jet_int", TypeRule::SameNumber, ValueKind::Unknown},
    {"jet_fix", TypeRule::SameNumber, ValueKind::Unknown},
    {"jet_abs", TypeRule::SameNumber, ValueKind::Unknown},
    {"jet_round", TypeRule::SameNumber, ValueKind::Unknown},
    {"jet_first", TypeRule::Same, ValueKind::Unknown},
    {"jet_last", TypeRule::Same, ValueKind::Unknown},
    {"jet_stdev", TypeRule::Fixed, ValueKind::Double},
    {"jet_stdevp", TypeRule::Fixed, ValueKind::Double},
    {"jet_var", TypeRule::Fixed, ValueKind::Double},
    {"jet_varp", TypeRule::Fixed, ValueKind::Double},
    {"count", TypeRule::Fixed, ValueKind::Long},
    {"sum", TypeRule::Sum, ValueKind::Unknown},
    {"avg", TypeRule::Fixed, ValueKind::Double},
    {"min", TypeRule::Same, ValueKind::Unknown},
    {"max", TypeRule::Same, ValueKind::Unknown},
};

const Name kAggregates[] = {
    {"First", "jet_first"},   {"Last", "jet_last"}, {"StDev", "jet_stdev"},
    {"StDevP", "jet_stdevp"}, {"Var", "jet_var"},   {"VarP", "jet_varp"},
};

struct Catalog {
    std::unordered_map<std::wstring, JetFunction> byName;
    std::unordered_map<std::string, std::string> jetNames;

    Catalog() {
        std::unordered_map<std::string, std::pair<int, int>> counts;
        for (auto list : {TextFunctions(), NumberFunctions(), DateFunctions()})
            for (const FunctionDef& d : list)
                counts[d.name] = {d.minArgs, d.maxArgs};
        for (const Name& n : kScalars) {
            const auto range = counts.at(n.sqlite);
            Add(n.jet, n.sqlite, FunctionKind::Scalar, range.first, range.second);
        }
        for (const Name& n : kAggregates)
            Add(n.jet, n.sqlite, FunctionKind::Aggregate, 1, 1);
        for (const char* n : {"Count", "Sum", "Avg", "Min", "Max"}) {
            std::string lower;
            for (const char* p = n; *p; ++p)
                lower.push_back(char((*p >= 'A' && *p <= 'Z') ? *p + 32 : *p));
            Add(n, lower, FunctionKind::NativeAggregate, 1, 1);
        }
        Add("IIf", "", FunctionKind::IIf, 3, 3);
        Add("Switch", "", FunctionKind::Switch, 2, -1);
        Add("Choose", "", FunctionKind::Choose, 2, -1);
        Add("Nz", "coalesce", FunctionKind::Nz, 1, 2);
        Add("CVar", "", FunctionKind::PassThrough, 1, 1);
        for (auto& entry : byName) {
            JetFunction& f = entry.second;
            switch (f.kind) {
                case FunctionKind::IIf:
                case FunctionKind::Switch:
                case FunctionKind::Choose:
                case FunctionKind::Nz:
                    f.rule = TypeRule::Common;
                    continue;
                case FunctionKind::PassThrough:
                    f.rule = TypeRule::Same;
                    continue;
                default:
                    break;
            }
            for (const Result& r : kResults)
                if (f.sqliteName == r.sqlite) {
                    f.rule = r.rule;
                    f.result = r.kind;
                }
        }
        for (auto list : {OperatorFunctions(), StoreFunctions()})
            for (const FunctionDef& d : list)
                jetNames.emplace(d.name, d.name);
        jetNames["jet_concat"] = "&";
        jetNames["jet_add"] = "+";
        jetNames["jet_sub"] = "-";
        jetNames["jet_chain"] = "+";
        jetNames["jet_div"] = "/";
        jetNames["jet_intdiv"] = "\\";
        jetNames["jet_mod"] = "Mod";
        jetNames["jet_pow"] = "^";
        jetNames["jet_xor"] = "Xor";
        jetNames["jet_eqv"] = "Eqv";
        jetNames["jet_imp"] = "Imp";
        jetNames["jet_like"] = "Like";
        jetNames["jet_date_text"] = "CStr";
    }

    void Add(const std::string& jet, const std::string& sqlite, FunctionKind kind, int lo, int hi) {
        byName.emplace(Utf8ToWide(AsciiLower(jet)),
                       JetFunction{jet, sqlite, kind, lo, hi, TypeRule::Fixed, ValueKind::Unknown});
        if (!sqlite.empty())
            jetNames.emplace(sqlite, jet);
    }
};

const Catalog& TheCatalog() {
    static const Catalog catalog;
    return catalog;
}

}  // namespace

const JetFunction* FindJetFunction(const std::wstring& name) {
    std::wstring key;
    for (wchar_t c : name)
        key.push_back(wchar_t(std::towlower(wint_t(c))));
    if (!key.empty() && key.back() == L'$')
        key.pop_back();
    const auto& map = TheCatalog().byName;
    const auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

const char* JetNameOf(const char* sqliteName) {
    const auto& map = TheCatalog().jetNames;
    const auto it = map.find(sqliteName);
    return it == map.end() ? sqliteName : it->second.c_str();
}

}  // namespace vorn::provider::sql
