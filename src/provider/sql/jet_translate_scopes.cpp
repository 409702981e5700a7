// The tables a query's column references belong to, and the Jet types of those columns.
//
// A select list is read before its FROM clause, so each query's tables are first found by
// a scan over the tokens of its FROM clause (parenthesised parts are skipped by their
// matching parenthesis, so the scans of all the queries of a statement take linear time).
// Types are evaluated only when asked for; a table's columns are read from the schema the
// first time one of its columns needs a type, and the translation then depends on the
// schema.
#include "schema/schema_catalog.h"
#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {

using schema::SameName;

int JetTranslator::PushScope() {
    const int previous = scope_;
    Scope s;
    s.parent = previous;
    scopes_.push_back(std::move(s));
    scope_ = int(scopes_.size()) - 1;
    return previous;
}

void JetTranslator::ScanQuerySources(size_t i, Scope* scope) {
    while (i < tokens_.size()) {
        const Token& t = tokens_[i];
        if (t.kind == TokenKind::End)
            return;
        if (t.kind == TokenKind::Operator) {
            if (t.value == L"(") {
                if (match_[i] == kNoMatch)
                    return;
                i = match_[i] + 1;
                continue;
            }
            if (t.value == L")" || t.value == L";")
                return;
        } else if (IsKeyword(t, L"FROM")) {
            ScanSources(i + 1, tokens_.size(), scope);
            return;
        } else if (IsKeyword(t, L"WHERE") || IsKeyword(t, L"GROUP") || IsKeyword(t, L"HAVING") ||
                   IsKeyword(t, L"ORDER") || IsKeyword(t, L"UNION") || IsKeyword(t, L"PIVOT")) {
            return;
        }
        ++i;
    }
}

size_t JetTranslator::ScanSources(size_t i, size_t end, Scope* scope) {
    auto isName = [&](size_t k) {
        if (k >= end || k >= tokens_.size())
            return false;
        const Token& t = tokens_[k];
        return t.kind == TokenKind::QuotedName ||
               (t.kind == TokenKind::Name && !IsReserved(t) && t.value.compare(0, 2, L"@@") != 0);
    };
    auto isOp = [&](size_t k, const wchar_t* op) {
        return k < end && k < tokens_.size() && tokens_[k].kind == TokenKind::Operator &&
               tokens_[k].value == op;
    };
    auto isWord = [&](size_t k, const wchar_t* w) {
        return k < end && k < tokens_.size() && IsKeyword(tokens_[k], w);
    };
    auto readAlias = [&](Source* s) {
        if (isWord(i, L"AS"))
            ++i;
        if (isName(i))
            s->alias = tokens_[i++].value;
    };
    while (i < end && i < tokens_.size()) {
        if (isOp(i, L"(")) {
            const size_t close = match_[i];
            if (close == kNoMatch || close >= end)
                return i;
            if (isWord(i + 1, L"SELECT")) {
                Source s;
                s.derived = true;
                i = close + 1;
                readAlias(&s);
                scope->sources.push_back(std::move(s));
            } else {
                // A parenthesised join; past the parser's own nesting limit the statement
                // is refused anyway.
                if (++scanDepth_ <= 120)
                    ScanSources(i + 1, close, scope);
                --scanDepth_;
                i = close + 1;
            }
        } else if (isName(i)) {
            Source s;
            s.table = tokens_[i++].value;
            while ((isOp(i, L".") || isOp(i, L"!")) && isName(i + 1)) {
                s.table = tokens_[i + 1].value;
                i += 2;
            }
            readAlias(&s);
            scope->sources.push_back(std::move(s));
        } else {
            return i;
        }
        // What joins this table to the next: a comma, a join, or an ON condition.
        while (true) {
            if (isOp(i, L",")) {
                ++i;
                break;
            }
            if (isWord(i, L"INNER") || isWord(i, L"LEFT") || isWord(i, L"RIGHT") ||
                isWord(i, L"OUTER") || isWord(i, L"JOIN")) {
                while (isWord(i, L"INNER") || isWord(i, L"LEFT") || isWord(i, L"RIGHT") ||
                       isWord(i, L"OUTER") || isWord(i, L"JOIN"))
                    ++i;
                break;
            }
            if (isWord(i, L"ON")) {
                ++i;
                while (i < end && i < tokens_.size()) {
                    const Token& t = tokens_[i];
                    if (t.kind == TokenKind::End || isOp(i, L")") || isOp(i, L";") ||
                        isOp(i, L",") || isWord(i, L"INNER") || isWord(i, L"LEFT") ||
                        isWord(i, L"RIGHT") || isWord(i, L"JOIN") || isWord(i, L"WHERE") ||
                        isWord(i, L"GROUP") || isWord(i, L"HAVING") || isWord(i, L"ORDER") ||
                        isWord(i, L"UNION") || isWord(i, L"PIVOT"))
                        break;
                    if (isOp(i, L"(") && match_[i] != kNoMatch)
                        i = match_[i] + 1;
                    else
                        ++i;
                }
                continue;
            }
            return i;
        }
    }
    return i;
}

void JetTranslator::NoteDerivedColumns(const SelectCore& core) {
    if (scope_ < 0)
        return;
    Scope& s = scopes_[size_t(scope_)];
    while (s.nextDerived < s.sources.size() && !s.sources[s.nextDerived].derived)
        ++s.nextDerived;
    if (s.nextDerived >= s.sources.size())
        return;
    Source& source = s.sources[s.nextDerived++];
    source.columnScope = core.scope;
    for (const SelectItem& item : core.items)
        if (!item.star)
            source.columns.emplace_back(item.name, item.type);
}

ValueType JetTranslator::ResolveColumn(const TypeTerm& column) {
    if (column.parts.empty())
        return ValueType();
    const std::wstring& name = column.parts.back();
    const std::wstring* qualifier =
        column.parts.size() >= 2 ? &column.parts[column.parts.size() - 2] : nullptr;
    // The type of name in source, or Unknown with *found false.
    auto lookIn = [&](size_t scopeIndex, size_t sourceIndex, bool* found) -> ValueType {
        *found = false;
        Source& source = scopes_[scopeIndex].sources[sourceIndex];
        if (source.derived) {
            for (const auto& c : source.columns)
                if (SameName(c.first, name)) {
                    *found = true;
                    // The subquery's column is an expression over its own tables.
                    const TypeRef type = c.second;
                    const bool derivedOnly = derivedColumnsOnly_;
                    derivedColumnsOnly_ = false;
                    const ValueType t = TypeOf(type);
                    derivedColumnsOnly_ = derivedOnly;
                    return t;
                }
            return ValueType();
        }
        if (derivedColumnsOnly_)
            return ValueType();
        if (!source.looked) {
            source.looked = true;
            source.schema = Schema(source.table);
        }
        const auto schema = scopes_[scopeIndex].sources[sourceIndex].schema;
        const ColumnSchema* c = schema ? schema->Find(WideToUtf8(name)) : nullptr;
        if (!c)
            return ValueType();
        *found = true;
        return TypeOfDeclared(c->declared);
    };
    for (int sc = column.scope; sc >= 0; sc = scopes_[size_t(sc)].parent) {
        const size_t count = scopes_[size_t(sc)].sources.size();
        for (size_t k = 0; k < count; ++k) {
            const Source& source = scopes_[size_t(sc)].sources[k];
            if (qualifier) {
                const std::wstring& own = source.alias.empty() ? source.table : source.alias;
                if (!SameName(own, *qualifier))
                    continue;
                bool found = false;
                return lookIn(size_t(sc), k, &found);
            }
            bool found = false;
            const ValueType t = lookIn(size_t(sc), k, &found);
            if (found)
                return t;
        }
    }
    return ValueType();
}

ValueType JetTranslator::TypeOf(const TypeRef& type) {
    return EvaluateType(type, [this](const TypeTerm& c) { return ResolveColumn(c); });
}

}  // namespace vorn::provider::sql
