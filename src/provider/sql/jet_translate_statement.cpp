// Whole statements: tokens, errors in the host's terms, the statement kinds, and the entry
// point TranslateJetSql.
#include <algorithm>
#include <climits>
#include <cwctype>

#include "sql/jet_translator.h"
#include "sqlite_errors.h"
#include "text_helpers.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

// Whether a is the keyword b (upper case) in any letter case. Keywords are ASCII: the
// runtime's case table is asked only for other letters.
bool SameWord(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        wint_t c = wint_t(a[i]);
        if (c >= L'a' && c <= L'z')
            c -= 32;
        else if (c > 127)
            c = std::towupper(c);
        if (c != wint_t(b[i]))
            return false;
    }
    return i == a.size() && b[i] == 0;
}

const wchar_t* const kReserved[] = {
    L"SELECT", L"FROM",       L"WHERE",  L"GROUP",    L"BY",          L"HAVING",     L"ORDER",
    L"UNION",  L"ALL",        L"INTO",   L"ON",       L"AS",          L"INNER",      L"LEFT",
    L"RIGHT",  L"OUTER",      L"JOIN",   L"AND",      L"OR",          L"NOT",        L"XOR",
    L"EQV",    L"IMP",        L"MOD",    L"LIKE",     L"ALIKE",       L"IS",         L"BETWEEN",
    L"IN",     L"SET",        L"VALUES", L"DISTINCT", L"DISTINCTROW", L"TOP",        L"PERCENT",
    L"ASC",    L"DESC",       L"INSERT", L"UPDATE",   L"DELETE",      L"CREATE",     L"ALTER",
    L"DROP",   L"TABLE",      L"INDEX",  L"WITH",     L"CONSTRAINT",  L"PRIMARY",    L"KEY",
    L"UNIQUE", L"REFERENCES", L"EXISTS", L"CROSS",    L"FULL",        L"PARAMETERS", L"NULL",
    L"PIVOT",  L"TRANSFORM",
};

// The engine's limits when there is no handle to ask (SQLite's defaults), and the depth
// the translator keeps to when the handle sets none (its own recursion stays bounded).
constexpr int kDefaultExprDepth = 1000;
constexpr int kDefaultSqlLength = 1000000000;
constexpr int kMostExprDepth = 10000;

// Bytes of text in UTF-8.
size_t Utf8Length(const std::wstring& text) {
    size_t n = 0;
    for (wchar_t c : text) {
        const uint32_t u = uint32_t(c);
        n += u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
    }
    return n;
}

bool IsReservedWord(const std::wstring& word) {
    for (const wchar_t* k : kReserved)
        if (SameWord(word, k))
            return true;
    return false;
}

// The statement kind named in messages, from the first words of the text.
std::wstring KindOf(const std::vector<Token>& tokens, size_t start = 0) {
    auto word = [&](size_t i) -> std::wstring {
        if (i < tokens.size() && tokens[i].kind == TokenKind::Name)
            return tokens[i].value;
        return L"";
    };
    size_t i = start;
    if (SameWord(word(i), L"PARAMETERS")) {
        while (i < tokens.size() &&
               !(tokens[i].kind == TokenKind::Operator && tokens[i].value == L";"))
            ++i;
        ++i;
    }
    const std::wstring w = word(i);
    if (SameWord(w, L"SELECT") || (i < tokens.size() && tokens[i].value == L"("))
        return L"SELECT statement";
    if (SameWord(w, L"INSERT"))
        return L"INSERT INTO statement";
    if (SameWord(w, L"UPDATE"))
        return L"UPDATE statement";
    if (SameWord(w, L"DELETE"))
        return L"DELETE statement";
    if (SameWord(w, L"CREATE")) {
        const std::wstring next = word(i + 1);
        if (SameWord(next, L"TABLE"))
            return L"CREATE TABLE statement";
        if (SameWord(next, L"VIEW"))
            return L"CREATE VIEW statement";
        if (SameWord(next, L"PROCEDURE") || SameWord(next, L"PROC"))
            return L"CREATE PROCEDURE statement";
        return L"CREATE INDEX statement";
    }
    if (SameWord(w, L"TRANSFORM"))
        return L"TRANSFORM statement";
    if (SameWord(w, L"EXECUTE") || SameWord(w, L"EXEC"))
        return L"EXECUTE statement";
    if (SameWord(w, L"ALTER"))
        return L"ALTER TABLE statement";
    if (SameWord(w, L"DROP"))
        return L"DROP statement";
    if (SameWord(w, L"PARAMETERS"))
        return L"PARAMETERS declaration";
    return L"SQL statement";
}

// Tokens of the text read as far as they go, for naming the statement kind of a text that
// does not tokenize.
std::vector<Token> LeadingTokens(const std::wstring& text, size_t stop) {
    std::vector<Token> tokens;
    TokenizeError ignored;
    TokenizeJetSql(text.substr(0, stop), &tokens, &ignored);
    return tokens;
}

}  // namespace

JetTranslator::JetTranslator(sqlite3* db, const std::wstring& text)
    : db_(db), conn_(db ? JetConnection::Find(db) : nullptr), text_(text) {}

std::string JetTranslator::QuoteName(const std::wstring& name) {
    return QuoteName(WideToUtf8(name));
}

std::string JetTranslator::QuoteName(const std::string& name) {
    std::string out = "`";
    for (char c : name) {
        if (c == '`')
            out.push_back('`');
        out.push_back(c);
    }
    out.push_back('`');
    return out;
}

std::string JetTranslator::QuoteText(const std::wstring& text) {
    return QuoteText(WideToUtf8(text));
}

std::string JetTranslator::QuoteText(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

const Token& JetTranslator::Peek(size_t ahead) const {
    const size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& JetTranslator::Next() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size())
        ++pos_;
    return t;
}

bool JetTranslator::IsKeyword(const Token& t, const wchar_t* keyword) const {
    return t.kind == TokenKind::Name && SameWord(t.value, keyword);
}

bool JetTranslator::PeekKeyword(const wchar_t* keyword, size_t ahead) const {
    return IsKeyword(Peek(ahead), keyword);
}

bool JetTranslator::AcceptKeyword(const wchar_t* keyword) {
    if (!PeekKeyword(keyword))
        return false;
    Next();
    return true;
}

void JetTranslator::ExpectKeyword(const wchar_t* keyword) {
    if (!AcceptKeyword(keyword))
        Fail(Peek(), std::wstring(L"expected ") + keyword);
}

bool JetTranslator::PeekOp(const wchar_t* op, size_t ahead) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Operator && t.value == op;
}

bool JetTranslator::AcceptOp(const wchar_t* op) {
    if (!PeekOp(op))
        return false;
    Next();
    return true;
}

void JetTranslator::ExpectOp(const wchar_t* op) {
    if (!AcceptOp(op))
        Fail(Peek(), std::wstring(L"expected '") + op + L"'");
}

bool JetTranslator::IsReserved(const Token& t) const {
    if (t.kind != TokenKind::Name)
        return false;
    // The statement's own tokens are looked up once each.
    if (!tokens_.empty() && &t >= tokens_.data() && &t < tokens_.data() + tokens_.size() &&
        reserved_.size() == tokens_.size()) {
        int8_t& known = reserved_[size_t(&t - tokens_.data())];
        if (known < 0)
            known = IsReservedWord(t.value) ? 1 : 0;
        return known != 0;
    }
    return IsReservedWord(t.value);
}

void JetTranslator::Fail(const Token& at, const std::wstring& detail) const {
    throw SyntaxFailure{at.begin, at.end, detail};
}

void JetTranslator::FailRange(size_t begin, size_t end, const std::wstring& detail) const {
    throw SyntaxFailure{begin, end, detail};
}

void JetTranslator::Enter() {
    if (++depth_ > 120)
        Fail(Peek(),
             L"the statement nests expressions or queries too deeply (more than 120 levels of "
             L"parentheses, subqueries or Not)");
}

bool JetTranslator::PeekName(size_t ahead) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::QuotedName ||
           (t.kind == TokenKind::Name && !IsReserved(t) && t.value.compare(0, 2, L"@@") != 0);
}

std::wstring JetTranslator::ParseName(const wchar_t* what) {
    if (!PeekName())
        Fail(Peek(), std::wstring(L"expected ") + what);
    return Next().value;
}

std::vector<std::wstring> JetTranslator::ParseDottedName(const wchar_t* what, bool allowStar,
                                                         bool* star) {
    std::vector<std::wstring> parts{ParseName(what)};
    if (star)
        *star = false;
    while (PeekOp(L".") || PeekOp(L"!")) {
        if (allowStar && PeekOp(L"*", 1)) {
            Next();
            Next();
            *star = true;
            break;
        }
        Next();
        parts.push_back(ParseName(what));
        if (parts.size() > 3)
            Fail(Peek(), L"a name has at most three parts");
    }
    return parts;
}

void JetTranslator::ExpectEnd() {
    AcceptOp(L";");
    if (Peek().kind != TokenKind::End)
        Fail(Peek(), L"characters found after the end of the SQL statement");
}

// PARAMETERS name type [, ...]; the names become positional parameters in order (or, in
// a saved query run by EXECUTE, the values given for them).
void JetTranslator::ParseParameters() {
    do {
        const std::wstring name = ParseName(L"a parameter name");
        const std::wstring lower = WideLower(name);
        const Token& typeToken = Peek();
        std::wstring typeName = ParseName(L"the parameter's data type");
        if (PeekName() && Peek().kind == TokenKind::Name)
            typeName += L" " + Next().value;
        std::vector<int64_t> args;
        if (AcceptOp(L"(")) {
            do {
                if (Peek().kind != TokenKind::Number)
                    Fail(Peek(), L"expected a size");
                args.push_back(std::wcstoll(Next().value.c_str(), nullptr, 10));
            } while (AcceptOp(L","));
            ExpectOp(L")");
        }
        JetTypeSpec spec;
        std::wstring error;
        if (!JetTypeFromName(typeName, args.data(), int(args.size()), &spec, &error))
            FailRange(typeToken.begin, Previous().end, error);
        if (declaredParameters_.count(lower))
            Fail(Peek(), L"the parameter " + name + L" is declared twice");
        DeclaredParameter p;
        p.number = int(declaredParameters_.size()) + 1;
        if (spec.type == JetType::Counter)
            spec.type = JetType::Long;
        p.type = FixedType(TypeOfDeclared(DeclaredType(spec)));
        declaredParameters_.emplace(lower, std::move(p));
        parameterOrder_.push_back(name);
    } while (AcceptOp(L","));
}

void JetTranslator::TranslateStatement(TranslationResult* r) {
    if (AcceptKeyword(L"PARAMETERS")) {
        ParseParameters();
        ExpectOp(L";");
        parameters_ = int(declaredParameters_.size());
    }
    BindProcedureArguments();
    statementKind_ = KindOf(tokens_, pos_);
    const Token& first = Peek();
    if (IsKeyword(first, L"SELECT") || PeekOp(L"(")) {
        TranslateSelectStatement(r);
    } else if (IsKeyword(first, L"TRANSFORM")) {
        TranslateTransform(r);
    } else if (IsKeyword(first, L"EXECUTE") || IsKeyword(first, L"EXEC")) {
        TranslateExecute(r);
    } else if (IsKeyword(first, L"INSERT")) {
        TranslateInsert(r);
    } else if (IsKeyword(first, L"UPDATE")) {
        TranslateUpdate(r);
    } else if (IsKeyword(first, L"DELETE")) {
        TranslateDelete(r);
    } else if (IsKeyword(first, L"CREATE")) {
        TranslateCreate(r);
    } else if (IsKeyword(first, L"ALTER")) {
        TranslateAlter(r);
    } else if (IsKeyword(first, L"DROP")) {
        TranslateDrop(r);
    } else if (IsKeyword(first, L"BEGIN") || IsKeyword(first, L"COMMIT") ||
               IsKeyword(first, L"ROLLBACK")) {
        statementKind_ = L"transaction statement";
        const std::wstring verb = Next().value;
        if (!AcceptKeyword(L"TRANSACTION"))
            AcceptKeyword(L"WORK");
        ExpectEnd();
        r->kind = JetStatementKind::Transaction;
        r->sql = SameWord(verb, L"BEGIN")    ? "BEGIN"
                 : SameWord(verb, L"COMMIT") ? "COMMIT"
                                             : "ROLLBACK";
    } else {
        Fail(first,
             L"expected SELECT, TRANSFORM, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, "
             L"EXECUTE, PARAMETERS or a transaction statement");
    }
}

TranslationResult JetTranslator::Run() {
    TranslationResult r;
    try {
        // The engine's limits: a longer statement is refused before it is read, an
        // expression deeper than the engine takes as soon as the parser reaches that depth.
        long long maxLength = kDefaultSqlLength;
        maxExprDepth_ = kDefaultExprDepth;
        if (db_) {
            maxLength = sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, -1);
            maxExprDepth_ = sqlite3_limit(db_, SQLITE_LIMIT_EXPR_DEPTH, -1);
            maxFunctionArgs_ =
                size_t(std::max(3, sqlite3_limit(db_, SQLITE_LIMIT_FUNCTION_ARG, -1)));
        }
        if (maxExprDepth_ <= 0 || maxExprDepth_ > kMostExprDepth)
            maxExprDepth_ = kMostExprDepth;
        const size_t length = Utf8Length(text_);
        if (maxLength > 0 && length > size_t(maxLength))
            throw SyntaxFailure{0, 0,
                                L"the statement is " + std::to_wstring(length) +
                                    L" bytes long; the engine takes statements of at most " +
                                    std::to_wstring(maxLength) + L" bytes (its length limit)",
                                true, true};
        TokenizeError te;
        if (!TokenizeJetSql(text_, &tokens_, &te)) {
            statementKind_ = KindOf(LeadingTokens(text_, te.position));
            throw SyntaxFailure{te.position, te.position + te.text.size(), te.detail};
        }
        if (tokens_.size() == 1)
            Fail(tokens_[0], L"the statement is empty");
        reserved_.assign(tokens_.size(), -1);
        match_.assign(tokens_.size(), kNoMatch);
        std::vector<size_t> open;
        for (size_t i = 0; i < tokens_.size(); ++i) {
            if (tokens_[i].kind != TokenKind::Operator)
                continue;
            if (tokens_[i].value == L"(") {
                open.push_back(i);
            } else if (tokens_[i].value == L")" && !open.empty()) {
                match_[i] = open.back();
                match_[open.back()] = i;
                open.pop_back();
            }
        }
        TranslateStatement(&r);
        r.dependsOnSchema = r.dependsOnSchema || schemaRead_;
        size_t longest = r.sql.size();
        for (const ScriptStep& step : r.script)
            longest = std::max(longest, step.sql.size());
        if (maxLength > 0 && longest > size_t(maxLength))
            throw SyntaxFailure{0, 0,
                                L"the statement becomes " + std::to_wstring(longest) +
                                    L" bytes of SQL for the engine, which takes statements of "
                                    L"at most " +
                                    std::to_wstring(maxLength) + L" bytes (its length limit)",
                                true, true};
        if (!r.script.empty()) {
            // The stand-in for a script: no result columns, writes, takes the parameters
            // the script's statements take, and refuses to run on its own.
            r.sql = "CREATE TEMP TABLE `__vorn_script` AS SELECT jet_guard(";
            for (int i = 1; i <= parameters_; ++i)
                r.sql += (i > 1 ? ", ?" : "?") + std::to_string(i);
            r.sql += ")";
        }
    } catch (const SyntaxFailure& f) {
        r = TranslationResult();
        r.ok = false;
        r.sqlState = f.sqlState.empty() ? L"42000" : f.sqlState;
        r.position = int(f.begin + 1);
        if (f.limit) {
            r.message = f.detail;
        } else if (f.nameError) {
            r.message = f.detail + L" in " + statementKind_ + L" at position " +
                        std::to_wstring(r.position);
        } else if (f.begin >= text_.size()) {
            r.message = L"syntax error in " + statementKind_ +
                        L" at the end of the statement (position " + std::to_wstring(r.position) +
                        L"): " + f.detail;
        } else {
            std::wstring near = text_.substr(f.begin, f.end > f.begin ? f.end - f.begin : 1);
            if (near.size() > 40)
                near = near.substr(0, 40) + L"...";
            r.message = L"syntax error in " + statementKind_ + L" near '" + near +
                        L"' at position " + std::to_wstring(r.position) + L": " + f.detail;
        }
    } catch (const SqliteFailure& f) {
        r = TranslationResult();
        r.ok = false;
        r.sqliteCode = f.code;
        r.message = Utf8ToWide(f.message);
        r.sqlState = ClassifySqliteError(f.code, f.message.c_str()).sqlState;
    }
    return r;
}

TranslationResult TranslateJetSql(sqlite3* db, const std::wstring& hostSql) {
    JetTranslator translator(db, hostSql);
    return translator.Run();
}

}  // namespace vorn::provider::sql
