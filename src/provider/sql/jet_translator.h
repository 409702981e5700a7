// The parser that turns one Jet SQL statement into SQLite SQL. A recursive-descent parser
// over the tokens, with Jet's operator precedence (^, unary -, * /, \, Mod, + -, &,
// comparisons, Not, And, Or, Xor, Eqv, Imp); every operator is written back fully
// parenthesised, so SQLite's different precedence never matters.
#pragma once

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sql/jet_connection.h"
#include "sql/jet_sql.h"
#include "sql/jet_tokenizer.h"
#include "sql/jet_types.h"

namespace vorn::provider::sql {

// A translation failure: where (offsets into the host's text) and why.
struct SyntaxFailure {
    size_t begin = 0;
    size_t end = 0;
    std::wstring detail;
    bool nameError = false;  // detail is the whole message ("undefined function ...")
};

// SQLite refused a statement the translator prepared to learn its columns.
struct SqliteFailure {
    int code = 0;
    std::string message;
};

class JetTranslator {
  public:
    JetTranslator(sqlite3* db, const std::wstring& text);
    TranslationResult Run();

    // Quoting of names and text for SQLite.
    static std::string QuoteName(const std::wstring& name);
    static std::string QuoteName(const std::string& utf8Name);
    static std::string QuoteText(const std::wstring& text);
    static std::string QuoteText(const std::string& utf8Text);

  private:
    struct Expr {
        std::string sql;
        bool isBool = false;    // SQLite's 1/0 truth value (comparisons, And, Or ...)
        bool isColumn = false;  // a plain column reference
        bool isString = false;  // a string literal
        std::wstring text;      // the column's last name part, or the literal's text
    };

    struct FromNode {
        enum Kind { Table, Subquery, Join } kind = Table;
        std::wstring table;  // Table: the table name
        std::wstring alias;
        std::string sql;       // Table / Subquery: the emitted item with its alias
        std::string joinType;  // Join: "INNER JOIN", "LEFT JOIN", "RIGHT JOIN"
        std::unique_ptr<FromNode> left, right;
        std::string on;
        bool parenthesized = false;
    };

    struct SelectItem {
        std::string sql;
        bool star = false;    // * or t.*
        bool column = false;  // a plain column reference
        std::wstring alias;
    };

    struct SelectCore {
        std::string raw;  // a parenthesised select used as a union member
        bool distinct = false;
        bool top = false;
        std::string topValue;
        bool topPercent = false;
        std::vector<SelectItem> items;
        bool into = false;
        std::wstring intoTable;
        size_t intoAt = 0;
        std::vector<std::unique_ptr<FromNode>> from;
        std::string where, groupBy, having;
    };

    struct Select {
        std::vector<SelectCore> cores;
        std::vector<std::string> unions;  // "UNION" / "UNION ALL" between cores
        std::string orderBy;
    };

    // ---- tokens ----
    const Token& Peek(size_t ahead = 0) const;
    const Token& Next();
    const Token& Previous() const { return tokens_[pos_ > 0 ? pos_ - 1 : 0]; }
    bool IsKeyword(const Token& t, const wchar_t* keyword) const;
    bool PeekKeyword(const wchar_t* keyword, size_t ahead = 0) const;
    bool AcceptKeyword(const wchar_t* keyword);
    void ExpectKeyword(const wchar_t* keyword);
    bool PeekOp(const wchar_t* op, size_t ahead = 0) const;
    bool AcceptOp(const wchar_t* op);
    void ExpectOp(const wchar_t* op);
    bool IsReserved(const Token& t) const;
    [[noreturn]] void Fail(const Token& at, const std::wstring& detail) const;
    [[noreturn]] void FailRange(size_t begin, size_t end, const std::wstring& detail) const;
    void Enter();
    void Leave() { --depth_; }

    // ---- names ----
    bool PeekName(size_t ahead = 0) const;
    std::wstring ParseName(const wchar_t* what);
    // t, t.c, [t].[c], t!c: the parts of a dotted name.
    std::vector<std::wstring> ParseDottedName(const wchar_t* what, bool allowStar, bool* star);

    // ---- expressions (jet_translate_expressions.cpp) ----
    Expr ParseExpr();
    Expr ParseImp();
    Expr ParseEqv();
    Expr ParseXor();
    Expr ParseOr();
    Expr ParseAnd();
    Expr ParseNot();
    Expr ParseComparison();
    Expr ParseConcat();
    Expr ParseAdditive();
    Expr ParseMod();
    Expr ParseIntDiv();
    Expr ParseMultiplicative();
    Expr ParseUnary();
    Expr ParsePower();
    Expr ParsePowerOperand();
    Expr ParsePrimary();
    Expr ParseFunctionCall();
    Expr ParseColumnRef();
    Expr ParseDateLiteral(const Token& t);
    std::string ParseInList(bool* hasText);
    static std::string Value(const Expr& e);
    static std::string Cond(const Expr& e);
    // A comparison operand: string literals compare without regard to case.
    static std::string Text(const Expr& e);
    static Expr Call(const char* fn, const Expr& a, const Expr& b);

    // ---- SELECT (jet_translate_select.cpp) ----
    Select ParseSelect();
    SelectCore ParseSelectCore();
    std::vector<SelectItem> ParseSelectList();
    std::vector<std::unique_ptr<FromNode>> ParseFromList();
    std::unique_ptr<FromNode> ParseJoinChain();
    std::unique_ptr<FromNode> ParseTablePrimary();
    std::string ParseOrderBy();
    std::string ParseExprList();
    std::string EmitSelect(const Select& s);
    std::string EmitCore(const SelectCore& c, bool withItems = true);
    std::string EmitItems(const SelectCore& c);
    std::string EmitFromTail(const SelectCore& c);
    static std::string EmitFrom(const FromNode& n);
    std::string SelectText();  // a whole nested SELECT, emitted
    void TranslateSelectStatement(TranslationResult* r);
    void TranslateSelectInto(const Select& s, TranslationResult* r);

    // ---- INSERT, UPDATE, DELETE (jet_translate_dml.cpp) ----
    void TranslateInsert(TranslationResult* r);
    void TranslateUpdate(TranslationResult* r);
    void TranslateDelete(TranslationResult* r);
    std::shared_ptr<const TableSchema> Schema(const std::wstring& table);
    std::string Coerce(const std::string& valueSql, const TableSchema* schema,
                       const std::wstring& column);

    // ---- DDL (jet_translate_ddl.cpp) ----
    struct ColumnDef;
    void TranslateCreate(TranslationResult* r);
    void TranslateCreateTable(TranslationResult* r);
    void TranslateCreateIndex(TranslationResult* r, bool unique);
    void TranslateCreateView(TranslationResult* r);
    void TranslateAlter(TranslationResult* r);
    void TranslateDrop(TranslationResult* r);
    ColumnDef ParseColumnDef();
    std::string ParseColumnList(std::vector<std::wstring>* names);
    std::string ParseReferences();
    std::string ParseDefault(const JetTypeSpec& type, const std::wstring& column);
    std::string EmitColumnDef(const ColumnDef& c, bool forAlter);
    void AddNotNullIndexSteps(TranslationResult* r, const std::wstring& index,
                              const std::wstring& table, const std::vector<std::wstring>& columns);

    // ---- tables of foreign stores (jet_translate_external.cpp) ----
    // After a table name: [connect].[table] or table IN 'path' [connect] names a table of
    // another source; node then refers to it. False (nothing read) for a plain table.
    bool ParseExternalTable(const std::vector<std::wstring>& parts, size_t begin, FromNode* node);
    // CREATE TABLE on a data source that is a foreign store. False on a SQLite database.
    // A table name of a foreign store as its virtual table is named: "parts.csv" is the
    // table "parts#csv" of a text folder. Other names (and every name on a SQLite
    // database) come back unchanged.
    std::wstring StoreTableName(const std::wstring& name) const;
    // StoreTableName, after making sure the engine has the store's table when the store
    // has it (a file added to the folder since the data source opened).
    std::wstring ReachStoreTable(const std::wstring& name);
    struct StoreColumnDef {
        std::wstring name;
        JetTypeSpec type;
        bool notNull = false;
    };
    bool TranslateStoreTable(const std::wstring& table, const std::vector<StoreColumnDef>& columns,
                             TranslationResult* r);

    // ---- whole statements (jet_translate_statement.cpp) ----
    void TranslateStatement(TranslationResult* r);
    void ExpectEnd();

    sqlite3* db_;
    JetConnection* conn_;
    const std::wstring& text_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int depth_ = 0;
    int parameters_ = 0;
    std::map<std::wstring, int> declaredParameters_;  // PARAMETERS names (lower case)
    std::wstring statementKind_ = L"SQL statement";
    bool schemaRead_ = false;
};

}  // namespace vorn::provider::sql
