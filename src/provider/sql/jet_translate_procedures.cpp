// Saved queries as the engine's ANSI-92 mode has them: CREATE PROCEDURE name [(parameter
// type, ...)] AS statement, DROP PROCEDURE name, EXECUTE name [value, ...].
//
// A procedure is kept as its Jet SQL in the provider's table __vorn_procedures (name,
// definition, created, modified), its parameters as a PARAMETERS declaration at the start
// of the definition. EXECUTE translates the definition with each parameter replaced by the
// value given for it (converted to the parameter's type as a column of that type stores
// it), so a procedure runs like the statement it holds: a query gives rows, an action
// query changes them. Creating or dropping a procedure changes the schema's version, so
// that every connection translates its EXECUTE statements again.
#include <cwctype>

#include "sql/jet_translator.h"
#include "text_helpers.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

const std::string kProcedures = std::string("`") + kProceduresTableName + "`";

// Steps that move the schema's version, so that translations that read a procedure (made
// by this or another connection) are made again.
void AddSchemaChange(std::vector<ScriptStep>* script) {
    script->push_back({"CREATE TABLE `__vorn_procedures_changed` (x)", "", ""});
    script->push_back({"DROP TABLE `__vorn_procedures_changed`", "", ""});
}

// A step that fails with message when there is no procedure of that name.
void AddExistsCheck(std::vector<ScriptStep>* script, const std::string& name,
                    const std::string& message) {
    script->push_back(
        {"SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM sqlite_schema WHERE type = "
         "'table' AND name = " +
             JetTranslator::QuoteText(std::string(kProceduresTableName)) + ")",
         message, ""});
    script->push_back({"SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM " + kProcedures +
                           " WHERE name = " + JetTranslator::QuoteText(name) + " COLLATE NOCASE)",
                       message, ""});
}

}  // namespace

void JetTranslator::TranslateCreateProcedure(TranslationResult* r) {
    const Token& word = Next();  // PROCEDURE or PROC
    if (inProcedure_)
        Fail(word, L"a saved query cannot create another one");
    const std::wstring name = ParseName(L"the name of the new procedure");
    std::wstring parameters;
    if (PeekOp(L"(")) {
        Next();
        const size_t from = Peek().begin;
        ParseParameters();
        const size_t to = Peek().begin;
        ExpectOp(L")");
        parameters = text_.substr(from, to - from);
        while (!parameters.empty() && parameters.back() == L' ')
            parameters.pop_back();
    }
    ExpectKeyword(L"AS");
    const Token& first = Peek();
    if (!parameters.empty() && IsKeyword(first, L"PARAMETERS"))
        Fail(first,
             L"the procedure's parameters are declared twice (in parentheses and with "
             L"PARAMETERS)");
    const bool allowed = IsKeyword(first, L"SELECT") || IsKeyword(first, L"TRANSFORM") ||
                         IsKeyword(first, L"INSERT") || IsKeyword(first, L"UPDATE") ||
                         IsKeyword(first, L"DELETE") || IsKeyword(first, L"PARAMETERS") ||
                         IsKeyword(first, L"CREATE") || IsKeyword(first, L"ALTER") ||
                         IsKeyword(first, L"DROP") || PeekOp(L"(");
    if (!allowed)
        Fail(first,
             L"a procedure holds one SELECT, TRANSFORM, INSERT, UPDATE, DELETE or "
             L"data-definition statement");
    // The statement is read now, so that its errors show when the procedure is made.
    const size_t bodyBegin = first.begin;
    const std::wstring kind = statementKind_;
    inProcedure_ = true;
    TranslationResult body;
    TranslateStatement(&body);
    inProcedure_ = false;
    statementKind_ = kind;
    parameters_ = 0;  // the procedure's parameters are its own, not this statement's
    std::wstring definition = text_.substr(bodyBegin);
    while (!definition.empty() &&
           (definition.back() == L';' || std::iswspace(wint_t(definition.back()))))
        definition.pop_back();
    if (!parameters.empty())
        definition = L"PARAMETERS " + parameters + L"; " + definition;

    const std::string n = WideToUtf8(name);
    r->kind = JetStatementKind::Ddl;
    r->changesSchema = true;
    r->script.push_back({"CREATE TABLE IF NOT EXISTS " + kProcedures +
                             " (name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, definition TEXT "
                             "NOT NULL, created TEXT NOT NULL, modified TEXT NOT NULL)",
                         "", ""});
    r->script.push_back({"SELECT 1 FROM sqlite_schema WHERE type IN ('table', 'view') AND name = " +
                             QuoteText(n) + " COLLATE NOCASE",
                         "a table or view named '" + n + "' already exists", ""});
    r->script.push_back(
        {"SELECT 1 FROM " + kProcedures + " WHERE name = " + QuoteText(n) + " COLLATE NOCASE",
         "the procedure '" + n + "' already exists", ""});
    r->script.push_back({"INSERT INTO " + kProcedures +
                             " (name, definition, created, modified) VALUES (" + QuoteText(n) +
                             ", " + QuoteText(definition) +
                             ", datetime('now', 'localtime'), datetime('now', 'localtime'))",
                         "", ""});
    AddSchemaChange(&r->script);
}

void JetTranslator::TranslateDropProcedure(TranslationResult* r) {
    const Token& word = Next();  // PROCEDURE or PROC
    if (inProcedure_)
        Fail(word, L"a saved query cannot drop a procedure");
    const std::wstring name = ParseName(L"the name of the procedure to drop");
    ExpectEnd();
    const std::string n = WideToUtf8(name);
    r->kind = JetStatementKind::Ddl;
    r->changesSchema = true;
    AddExistsCheck(&r->script, n, "there is no procedure '" + n + "' to drop");
    r->script.push_back(
        {"DELETE FROM " + kProcedures + " WHERE name = " + QuoteText(n) + " COLLATE NOCASE", "",
         ""});
    AddSchemaChange(&r->script);
}

void JetTranslator::TranslateExecute(TranslationResult* r) {
    const Token& word = Next();  // EXECUTE or EXEC
    if (inProcedure_)
        Fail(word, L"a saved query cannot run another one");
    const Token& nameToken = Peek();
    const std::wstring name = ParseName(L"the name of the procedure to run");
    std::vector<Expr> values;
    if (!PeekOp(L";") && Peek().kind != TokenKind::End) {
        do {
            values.push_back(ParseExpr());
        } while (AcceptOp(L","));
    }
    ExpectEnd();
    if (!db_)
        Fail(nameToken, L"EXECUTE needs the database that holds the procedure");

    // The procedure's definition; the translation follows it when it changes.
    r->dependsOnSchema = true;
    std::wstring definition;
    bool found = false;
    sqlite3_stmt* s = nullptr;
    const std::string query =
        "SELECT name, definition FROM " + kProcedures + " WHERE name = ?1 COLLATE NOCASE";
    if (sqlite3_prepare_v2(db_, query.c_str(), -1, &s, nullptr) == SQLITE_OK) {
        const std::string n = WideToUtf8(name);
        sqlite3_bind_text(s, 1, n.data(), int(n.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(s) == SQLITE_ROW) {
            found = true;
            const unsigned char* text = sqlite3_column_text(s, 1);
            definition = Utf8ToWide(text ? reinterpret_cast<const char*>(text) : "");
        }
    }
    sqlite3_finalize(s);
    if (!found) {
        SyntaxFailure f{nameToken.begin, nameToken.end,
                        L"there is no procedure named '" + name + L"'", true};
        f.sqlState = L"42S02";
        throw f;
    }

    JetTranslator inner(db_, definition);
    inner.inProcedure_ = true;
    inner.procedureName_ = name;
    for (const Expr& v : values)
        inner.arguments_.push_back(Value(v));
    TranslationResult t = inner.Run();
    if (!t.ok) {
        SyntaxFailure f{nameToken.begin, nameToken.end,
                        L"the procedure '" + name + L"' cannot run: " + t.message, true};
        if (!t.sqlState.empty())
            f.sqlState = t.sqlState;
        if (t.sqliteCode != 0)
            throw SqliteFailure{t.sqliteCode, WideToUtf8(f.detail)};
        throw f;
    }
    t.dependsOnSchema = true;
    *r = std::move(t);
}

// In a procedure run by EXECUTE, the values given take the places of its parameters.
void JetTranslator::BindProcedureArguments() {
    if (!inProcedure_ || procedureName_.empty())
        return;
    auto refuse = [](const std::wstring& message) {
        SyntaxFailure f{0, 0, message};
        f.limit = true;
        throw f;
    };
    if (arguments_.size() > parameterOrder_.size())
        refuse(L"it takes " + std::to_wstring(parameterOrder_.size()) + L" parameter(s), and " +
               std::to_wstring(arguments_.size()) + L" values were given");
    if (arguments_.size() < parameterOrder_.size())
        refuse(L"no value given for its parameter " + parameterOrder_[arguments_.size()] +
               L" (it takes " + std::to_wstring(parameterOrder_.size()) + L": " +
               [&] {
                   std::wstring names;
                   for (const std::wstring& p : parameterOrder_)
                       names += (names.empty() ? L"" : L", ") + p;
                   return names;
               }() +
               L")");
    for (size_t i = 0; i < arguments_.size(); ++i) {
        DeclaredParameter& p = declaredParameters_[WideLower(parameterOrder_[i])];
        // A value becomes what a column of the parameter's type would store.
        const ValueType type = p.type ? p.type->fixed : ValueType();
        const StoreKind store = StoreKindOfDeclared(DeclaredTypeFor(type));
        const char* fn = StoreFunction(store);
        p.value = fn ? std::string(fn) + "(" + arguments_[i] + ", " +
                           QuoteText(WideToUtf8(procedureName_ + L"." + parameterOrder_[i])) + ")"
                     : arguments_[i];
        p.hasValue = true;
    }
    parameters_ = 0;
}

}  // namespace vorn::provider::sql
