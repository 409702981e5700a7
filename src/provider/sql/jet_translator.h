// The parser that turns one Jet SQL statement into SQLite SQL. A recursive-descent parser
// over the tokens, with Jet's operator precedence (^, unary -, * /, \, Mod, + -, &,
// comparisons, Not, And, Or, Xor, Eqv, Imp); every operator is written back fully
// parenthesised, so SQLite's different precedence never matters.
//
// Translation takes time linear in the statement's length: a chain of operators is written
// out once at its end (see Chain), and a statement longer, or an expression deeper, than
// the engine takes is refused as soon as the limit is passed, naming the limit.
//
// Every expression carries its Jet type as a term (jet_value_types.h) that is evaluated
// only when a type is needed; column references in it are resolved against the tables of
// the query they belong to (Scope), found by a scan of the FROM clause before the select
// list is read.
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
#include "sql/jet_value_types.h"

namespace vorn::provider::sql {

// A translation failure: where (offsets into the host's text) and why.
struct SyntaxFailure {
    SyntaxFailure(size_t b, size_t e, std::wstring d, bool name = false, bool whole = false)
        : begin(b), end(e), detail(std::move(d)), nameError(name), limit(whole) {}
    size_t begin = 0;
    size_t end = 0;
    std::wstring detail;
    bool nameError = false;  // detail is the whole message ("undefined function ...")
    bool limit = false;      // detail is the whole message, without a position
    std::wstring sqlState;   // when not the SQLSTATE of syntax errors (42000)
};

// SQLite refused a statement the translator prepared to learn its columns.
struct SqliteFailure {
    int code = 0;
    std::string message;
};

class JetTranslator {
  public:
    // match_ of a parenthesis without a partner.
    static constexpr size_t kNoMatch = size_t(-1);

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
        int depth = 1;          // height of the expression tree SQLite builds from sql
        TypeRef type;           // Jet's type of the value (null: known only from a value)
    };

    // A left-associative chain of operators (a + b - c ...) whose text is written out once,
    // at its end: copying the text so far at every step would make translation quadratic
    // in its length. The text also nests as little as it can, as SQLite's parser takes only
    // a few dozen function calls (or about a hundred parentheses) nested in one another: a
    // run of one infix operator is written flat, "(a OR b OR c)", and a run of & + and -
    // is one call of jet_chain, which works them out from the left, for each 126 operands.
    class Chain {
      public:
        explicit Chain(Expr first);
        // The chain so far: its flags, type and depth (its text is not current).
        Expr& Held() { return held_; }
        // Nests the chain so far: open + chain + close.
        void Wrap(const std::string& open, const std::string& close);
        // Adds more to the last Wrap, before its closing parenthesis.
        void Extend(const std::string& more);
        // One operation of & + or -: the chain so far (its text as it stands) op operand,
        // in calls of jet_chain that take at most perCall operands each.
        void Fold(char op, const std::string& operand, int operandDepth, size_t perCall);
        // The calls of jet_chain the folded operations take, nested in one another.
        size_t FoldCalls() const;
        Expr Finish();

      private:
        Expr held_;
        std::string base_;
        std::vector<std::string> opens_;
        std::string closes_;
        size_t openBytes_ = 0;
        std::string foldOps_;
        std::vector<std::string> foldOperands_;
        size_t perCall_ = 0;
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
        std::wstring name;  // the column's name in the result (alias, column, Expr1000 ...)
        TypeRef type;
    };

    // A table of a query's FROM clause, for the types of its columns.
    struct Source {
        std::wstring table;  // a table or view; empty for a subquery
        std::wstring alias;
        bool derived = false;  // a subquery: its columns are listed once it is read
        std::vector<std::pair<std::wstring, TypeRef>> columns;
        int columnScope = -1;  // the scope the subquery's column types resolve in
        bool looked = false;
        std::shared_ptr<const TableSchema> schema;
    };

    // The tables a query's column references resolve against, and the enclosing query's.
    struct Scope {
        int parent = -1;
        std::vector<Source> sources;
        size_t nextDerived = 0;  // the next subquery of the FROM clause to be read
    };

    // One key of ORDER BY.
    struct OrderKey {
        std::string sql;
        bool descending = false;
        std::vector<std::wstring> column;  // a plain column reference: its name parts
        bool number = false;               // a literal: the result column of that number
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
        int scope = -1;
    };

    struct Select {
        std::vector<SelectCore> cores;
        std::vector<std::string> unions;  // "UNION" / "UNION ALL" between cores
        std::vector<OrderKey> orderBy;
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
    // Refuses an expression deeper than the engine takes.
    void CheckDepth(const Expr& e, const Token& at) const;
    // Refuses a chain of & + - longer than the engine's parser takes.
    void CheckChainLength(const Chain& chain, const Token& at) const;

    // ---- names ----
    bool PeekName(size_t ahead = 0) const;
    std::wstring ParseName(const wchar_t* what);
    // t, t.c, [t].[c], t!c: the parts of a dotted name.
    std::vector<std::wstring> ParseDottedName(const wchar_t* what, bool allowStar, bool* star);

    // ---- scopes and types (jet_translate_scopes.cpp) ----
    int PushScope();
    void PopScope(int previous) { scope_ = previous; }
    // The tables of the FROM clause of the query whose select list starts at token i.
    void ScanQuerySources(size_t i, Scope* scope);
    size_t ScanSources(size_t i, size_t end, Scope* scope);
    ValueType ResolveColumn(const TypeTerm& column);
    ValueType TypeOf(const TypeRef& type);
    ValueType TypeOf(const Expr& e) { return TypeOf(e.type); }
    void NoteDerivedColumns(const SelectCore& core);

    // ---- expressions (jet_translate_expressions.cpp) ----
    Expr ParseExpr();
    Expr ParseImp();
    Expr ParseEqv();
    Expr ParseXor();
    Expr ParseOr();
    Expr ParseAnd();
    // A run of OR or AND, written flat: (a OR b OR c).
    Expr ParseLogicalRun(const wchar_t* keyword, const char* op, Expr (JetTranslator::*operand)());
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
    std::string ParseInList(bool* hasText, int* depth);
    Expr ParseQuantified(const Expr& left, const std::string& op);
    static std::string Value(const Expr& e);
    static std::string Cond(const Expr& e);
    // A comparison operand: string literals compare without regard to case.
    static std::string Text(const Expr& e);
    // One step of a chain: the held value (as Value() or Text() gives it) and r joined.
    void ChainCall(Chain* chain, const char* fn, const Expr& r, TypeRule rule, const Token& at);
    void ChainInfix(Chain* chain, const char* op, const std::string& right, int rightDepth,
                    bool asText, const Token& at);
    // The text of a value converted to text: dates as the engine writes them.
    std::string AsText(const Expr& e);

    // ---- SELECT (jet_translate_select.cpp) ----
    Select ParseSelect();
    SelectCore ParseSelectCore();
    std::vector<SelectItem> ParseSelectList();
    std::vector<std::unique_ptr<FromNode>> ParseFromList();
    std::unique_ptr<FromNode> ParseJoinChain();
    std::unique_ptr<FromNode> ParseTablePrimary();
    std::vector<OrderKey> ParseOrderBy();
    static std::string EmitOrderBy(const std::vector<OrderKey>& keys);
    std::string ParseExprList();
    std::string EmitSelect(const Select& s);
    std::string EmitCore(const SelectCore& c, bool withItems = true);
    std::string EmitItems(const SelectCore& c);
    std::string EmitFromTail(const SelectCore& c, bool grouped = true);
    static std::string EmitFrom(const FromNode& n);
    // LIMIT of TOP n [PERCENT]: with ORDER BY, the rows tied with the last one come too.
    std::string EmitLimit(const SelectCore& c, const std::vector<OrderKey>& orderBy);
    Select ParseNestedSelect();  // a nested SELECT, INTO refused
    std::string SelectText();    // a whole nested SELECT, emitted
    void TranslateSelectStatement(TranslationResult* r);
    void TranslateSelectInto(const Select& s, TranslationResult* r);
    // The Jet types of a query's result columns, for the column information.
    void NoteResultTypes(const Select& s, TranslationResult* r);

    // ---- crosstab queries (jet_translate_transform.cpp) ----
    void TranslateTransform(TranslationResult* r);

    // ---- INSERT, UPDATE, DELETE (jet_translate_dml.cpp) ----
    void TranslateInsert(TranslationResult* r);
    void TranslateUpdate(TranslationResult* r);
    void TranslateDelete(TranslationResult* r);
    std::shared_ptr<const TableSchema> Schema(const std::wstring& table);
    std::string Coerce(const std::string& valueSql, const TableSchema* schema,
                       const std::wstring& column);

    // ---- DDL (jet_translate_ddl.cpp) ----
    struct ColumnDef {
        std::wstring name;
        size_t at = 0;
        JetTypeSpec type;
        bool notNull = false;
        bool primaryKey = false;
        bool unique = false;
        std::wstring keyName;  // CONSTRAINT name of the primary key or unique constraint
        bool hasDefault = false;
        std::string defaultSql;
        std::vector<std::string> extra;  // REFERENCES and CHECK clauses
    };

    void TranslateCreate(TranslationResult* r);
    void TranslateCreateTable(TranslationResult* r);
    void TranslateCreateIndex(TranslationResult* r, bool unique);
    void TranslateCreateView(TranslationResult* r);
    void TranslateAlter(TranslationResult* r);
    void TranslateAlterColumn(TranslationResult* r, const std::wstring& table);
    void TranslateDrop(TranslationResult* r);
    ColumnDef ParseColumnDef();
    std::string ParseColumnList(std::vector<std::wstring>* names);
    std::string ParseReferences();
    std::string ParseDefault(const JetTypeSpec& type, const std::wstring& column);
    std::string EmitColumnDef(const ColumnDef& c, bool forAlter);
    void AddNotNullIndexSteps(TranslationResult* r, const std::wstring& index,
                              const std::wstring& table, const std::vector<std::wstring>& columns);

    // ---- saved queries (jet_translate_procedures.cpp) ----
    void TranslateCreateProcedure(TranslationResult* r);
    void TranslateDropProcedure(TranslationResult* r);
    void TranslateExecute(TranslationResult* r);
    void BindProcedureArguments();

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
    void ParseParameters();
    void ExpectEnd();

    struct DeclaredParameter {
        int number = 0;     // ?number in the translation
        TypeRef type;       // the declared type
        std::string value;  // a procedure's argument, written in place of the parameter
        bool hasValue = false;
    };

    sqlite3* db_;
    JetConnection* conn_;
    const std::wstring& text_;
    std::vector<Token> tokens_;
    std::vector<size_t> match_;  // for each ( and ) token, the index of its partner
    // For each token, whether it is a reserved word (-1: not looked up yet).
    mutable std::vector<int8_t> reserved_;
    size_t pos_ = 0;
    int depth_ = 0;
    int maxExprDepth_ = 1000;       // the engine's limit of expression depth
    size_t maxFunctionArgs_ = 127;  // the engine's limit of a function's arguments
    int parameters_ = 0;
    std::map<std::wstring, DeclaredParameter> declaredParameters_;  // by name (lower case)
    std::vector<std::wstring> parameterOrder_;                      // names as declared
    std::wstring statementKind_ = L"SQL statement";
    bool schemaRead_ = false;
    std::vector<Scope> scopes_;
    int scope_ = -1;
    // Inside the aggregate of TRANSFORM: aggregates are filtered by the pivot condition,
    // which stands as this marker until the pivot values are known.
    std::string pivotMarker_;
    int pivotAggregates_ = 0;
    bool inProcedure_ = false;  // translating the body of a saved query
    // Running a saved query with EXECUTE: its name, and the values given (as SQL).
    std::wstring procedureName_;
    std::vector<std::string> arguments_;
    // Column types come only from subqueries of FROM, never from a table's schema.
    bool derivedColumnsOnly_ = false;
    int scanDepth_ = 0;  // parenthesised joins the scan of a FROM clause is inside
};

}  // namespace vorn::provider::sql
