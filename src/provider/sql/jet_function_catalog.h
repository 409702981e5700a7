// The Jet functions the translator knows: the Jet name, the SQLite function a call becomes
// and its number of arguments. Calls of names not in the catalogue go to SQLite unchanged
// when SQLite has such a function.
#pragma once

#include <string>

#include "sql/jet_value_types.h"

namespace vorn::provider::sql {

enum class FunctionKind {
    Scalar,           // jet_<name>, registered by RegisterJetFunctions
    Aggregate,        // jet_first ... jet_varp
    NativeAggregate,  // Count, Sum, Avg, Min, Max: SQLite's own
    IIf,              // CASE WHEN c THEN a ELSE b END (only the chosen branch runs)
    Switch,           // CASE WHEN c1 THEN v1 ... END
    Choose,           // CASE jet_round(i) WHEN 1 THEN a ... END
    Nz,               // coalesce(v, fallback or '')
    PassThrough,      // CVar: the value itself
};

struct JetFunction {
    std::string jetName;     // as the engine spells it: "InStrRev"
    std::string sqliteName;  // "jet_instrrev", "count"
    FunctionKind kind;
    int minArgs;
    int maxArgs;  // -1: any number
    // The result's Jet type: rule over the arguments' types, or result when rule is Fixed.
    TypeRule rule = TypeRule::Fixed;
    ValueKind result = ValueKind::Unknown;
};

// The function named name (any case, a trailing $ ignored), or null.
const JetFunction* FindJetFunction(const std::wstring& name);

// The Jet name of a registered SQLite function ("Left" for "jet_left"), for messages.
const char* JetNameOf(const char* sqliteName);

}  // namespace vorn::provider::sql
