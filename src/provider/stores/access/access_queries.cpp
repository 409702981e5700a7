// The SQL of saved queries, rebuilt from MSysQueries.
#include "stores/access/access_queries.h"

#include <memory>

namespace vorn::provider::stores::access {
namespace {

enum Attribute {
    kType = 1,
    kParameter = 2,
    kFlags = 3,
    kRemoteDatabase = 4,
    kTable = 5,
    kColumn = 6,
    kJoin = 7,
    kWhere = 8,
    kGroupBy = 9,
    kHaving = 10,
    kOrderBy = 11,
};

// Flags of the select (the row of attribute 3).
constexpr int kSelectStar = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;

// Names of the two parts of a union query, among its table rows.
constexpr char kUnionPart1[] = "X7YZ_____1";
constexpr char kUnionPart2[] = "X7YZ_____2";

std::string Bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    return out + "]";
}

const QueryRow* First(const std::vector<QueryRow>& rows, int attribute) {
    for (const QueryRow& r : rows)
        if (r.attribute == attribute)
            return &r;
    return nullptr;
}

std::string Joined(const std::vector<QueryRow>& rows, int attribute, const char* separator,
                   bool orderBy = false) {
    std::string out;
    for (const QueryRow& r : rows) {
        if (r.attribute != attribute || r.expression.empty())
            continue;
        if (!out.empty())
            out += separator;
        out += r.expression;
        if (orderBy && (r.name1 == "D" || r.name1 == "d"))
            out += " DESC";
    }
    return out;
}

// One source of the FROM clause: a table (or query, or subquery) or a join of two sources.
struct Source {
    std::vector<std::string> names;  // the names joins use to refer to what it holds
    std::string sql;
    std::string onExtra;  // conditions of later joins between tables it already holds
    bool join = false;
    std::string left, right, kind, on;
    std::shared_ptr<Source> a, b;
};

std::string Render(const Source& s) {
    if (!s.join)
        return s.sql;
    std::string on = s.on;
    if (!s.onExtra.empty())
        on = "(" + on + ")" + s.onExtra;
    return "(" + Render(*s.a) + " " + s.kind + " JOIN " + Render(*s.b) + " ON " + on + ")";
}

bool Holds(const Source& s, const std::string& name) {
    for (const std::string& n : s.names)
        if (n == name)
            return true;
    return false;
}

std::string FromClause(const std::vector<QueryRow>& rows) {
    std::vector<std::shared_ptr<Source>> sources;
    for (const QueryRow& r : rows) {
        if (r.attribute != kTable)
            continue;
        auto s = std::make_shared<Source>();
        if (!r.expression.empty()) {
            s->sql = "(" + r.expression + ")";
        } else {
            s->sql = Bracketed(r.name1);
        }
        if (!r.name2.empty()) {
            s->sql += " AS " + Bracketed(r.name2);
            s->names.push_back(r.name2);
        } else {
            s->names.push_back(r.name1);
        }
        sources.push_back(s);
    }
    for (const QueryRow& r : rows) {
        if (r.attribute != kJoin)
            continue;
        size_t left = sources.size(), right = sources.size();
        for (size_t i = 0; i < sources.size(); ++i) {
            if (left == sources.size() && Holds(*sources[i], r.name1))
                left = i;
            if (right == sources.size() && Holds(*sources[i], r.name2))
                right = i;
        }
        if (left == sources.size() || right == sources.size())
            continue;
        if (left == right) {
            // A second condition between tables joined already.
            sources[left]->onExtra += " AND (" + r.expression + ")";
            continue;
        }
        auto j = std::make_shared<Source>();
        j->join = true;
        j->a = sources[left];
        j->b = sources[right];
        j->kind = r.flag == 2 ? "LEFT" : r.flag == 3 ? "RIGHT" : "INNER";
        j->on = r.expression;
        j->names = j->a->names;
        j->names.insert(j->names.end(), j->b->names.begin(), j->b->names.end());
        const size_t first = std::min(left, right), second = std::max(left, right);
        sources.erase(sources.begin() + static_cast<long>(second));
        sources[first] = j;
    }
    std::string out;
    for (const auto& s : sources) {
        if (!out.empty())
            out += ", ";
        out += Render(*s);
    }
    return out;
}

}  // namespace

QueryKind KindOfQuery(const std::vector<QueryRow>& rows) {
    const QueryRow* type = First(rows, kType);
    if (!type || !type->flag)
        return QueryKind::Select;
    switch (*type->flag) {
        case 1:
            return QueryKind::Select;
        case 2:
            return QueryKind::MakeTable;
        case 3:
            return QueryKind::Append;
        case 4:
            return QueryKind::Update;
        case 5:
            return QueryKind::Delete;
        case 6:
            return QueryKind::Crosstab;
        case 7:
            return QueryKind::DataDefinition;
        case 8:
            return QueryKind::PassThrough;
        case 9:
            return QueryKind::Union;
        default:
            return QueryKind::Unknown;
    }
}

bool BuildQuerySql(const std::vector<QueryRow>& rows, std::string* sql, std::string* why) {
    const QueryKind kind = KindOfQuery(rows);
    const QueryRow* flags = First(rows, kFlags);
    const int flag = flags && flags->flag ? *flags->flag : 0;
    if (kind == QueryKind::Union) {
        std::string parts[2];
        for (const QueryRow& r : rows)
            if (r.attribute == kTable)
                for (int i = 0; i < 2; ++i)
                    if (r.name2 == (i == 0 ? kUnionPart1 : kUnionPart2))
                        parts[i] = r.expression;
        if (parts[0].empty() || parts[1].empty()) {
            *why = "its parts are missing";
            return false;
        }
        *sql = parts[0] + ((flag & kDistinct) ? " UNION " : " UNION ALL ") + parts[1];
        const std::string order = Joined(rows, kOrderBy, ", ", true);
        if (!order.empty())
            *sql += " ORDER BY " + order;
        return true;
    }
    if (kind != QueryKind::Select) {
        *why = "it is no select query";
        return false;
    }
    if (First(rows, kParameter)) {
        *why = "it takes parameters";
        return false;
    }
    std::string columns;
    if (flag & kSelectStar)
        columns = "*";
    for (const QueryRow& r : rows) {
        if (r.attribute != kColumn || r.expression.empty())
            continue;
        if (!columns.empty())
            columns += ", ";
        columns += r.expression;
        if (!r.name1.empty())
            columns += " AS " + Bracketed(r.name1);
    }
    const std::string from = FromClause(rows);
    if (columns.empty() || from.empty()) {
        *why = "it names no columns or no tables";
        return false;
    }
    std::string out = "SELECT ";
    if (flag & kDistinct)
        out += "DISTINCT ";
    else if (flag & kDistinctRow)
        out += "DISTINCTROW ";
    if ((flag & kTop) && flags && !flags->name1.empty())
        out += "TOP " + flags->name1 + ((flag & kPercent) ? " PERCENT " : " ");
    out += columns + " FROM " + from;
    if (const QueryRow* remote = First(rows, kRemoteDatabase))
        if (!remote->name1.empty())
            out += " IN '" + remote->name1 + "'";
    const std::string where = Joined(rows, kWhere, " AND ");
    if (!where.empty())
        out += " WHERE " + where;
    const std::string group = Joined(rows, kGroupBy, ", ");
    if (!group.empty())
        out += " GROUP BY " + group;
    const std::string having = Joined(rows, kHaving, " AND ");
    if (!having.empty())
        out += " HAVING " + having;
    const std::string order = Joined(rows, kOrderBy, ", ", true);
    if (!order.empty())
        out += " ORDER BY " + order;
    *sql = out;
    return true;
}

}  // namespace vorn::provider::stores::access
