#include "platform/sql/Criteria.h"

#include <QDateTime>

#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/sql/Connection.h"

namespace platform {
namespace {

std::optional<QDateTime> ParseDate(const QString& text) {
    for (const char* p : {"M/d/yyyy H:mm:ss", "M/d/yyyy", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd",
                          "d.M.yyyy H:mm:ss", "d.M.yyyy"}) {
        const QDateTime when = QDateTime::fromString(text.trimmed(), QLatin1String(p));
        if (when.isValid())
            return when;
    }
    return std::nullopt;
}

QRegularExpression LikePattern(const QString& pattern) {
    QString rx = QStringLiteral("^");
    for (QChar c : pattern) {
        if (c == '*' || c == '%')
            rx += QStringLiteral(".*");
        else if (c == '_' || c == '?')
            rx += '.';
        else
            rx += QRegularExpression::escape(QString(c));
    }
    rx += '$';
    return QRegularExpression(rx, QRegularExpression::CaseInsensitiveOption |
                                      QRegularExpression::DotMatchesEverythingOption);
}

}  // namespace

struct Criteria::Cursor {
    const QString& s;
    qsizetype i = 0;

    void SkipBlanks() {
        while (i < s.size() && s[i].isSpace())
            ++i;
    }
    bool AtEnd() {
        SkipBlanks();
        return i >= s.size();
    }
    // A keyword followed by a blank, an opening quote or the end.
    bool Keyword(QLatin1String word) {
        SkipBlanks();
        if (s.mid(i, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = i + word.size();
        if (after < s.size() && (s[after].isLetterOrNumber() || s[after] == '_'))
            return false;
        i = after;
        return true;
    }
};

bool Criteria::ParseFieldName(Cursor& c, const FieldLookup& lookup, Clause& clause) {
    c.SkipBlanks();
    QString name;
    if (c.i < c.s.size() && c.s[c.i] == '[') {
        const qsizetype close = c.s.indexOf(']', c.i + 1);
        if (close < 0)
            return false;
        name = c.s.mid(c.i + 1, close - c.i - 1);
        c.i = close + 1;
    } else {
        const qsizetype start = c.i;
        while (c.i < c.s.size() &&
               (c.s[c.i].isLetterOrNumber() || c.s[c.i] == '_' || c.s[c.i] == '.'))
            ++c.i;
        name = c.s.mid(start, c.i - start);
    }
    if (name.isEmpty())
        return false;
    clause.field = lookup(name);
    if (clause.field < 0)
        throw AppError(kErrItemNotFound,
                       QStringLiteral("Item cannot be found in the collection corresponding "
                                      "to the requested name or ordinal."),
                       QStringLiteral("Recordset.Criteria"));
    return true;
}

bool Criteria::ParseOperator(Cursor& c, Clause& clause) {
    c.SkipBlanks();
    const QString rest = c.s.mid(c.i, 2);
    if (rest.startsWith(QLatin1String("<>"))) {
        clause.op = Op::Ne;
        c.i += 2;
    } else if (rest.startsWith(QLatin1String("<="))) {
        clause.op = Op::Le;
        c.i += 2;
    } else if (rest.startsWith(QLatin1String(">="))) {
        clause.op = Op::Ge;
        c.i += 2;
    } else if (rest.startsWith('=')) {
        clause.op = Op::Eq;
        c.i += 1;
    } else if (rest.startsWith('<')) {
        clause.op = Op::Lt;
        c.i += 1;
    } else if (rest.startsWith('>')) {
        clause.op = Op::Gt;
        c.i += 1;
    } else if (c.Keyword(QLatin1String("LIKE"))) {
        clause.op = Op::Like;
    } else {
        return false;
    }
    return true;
}

bool Criteria::ParseValue(Cursor& c, Clause& clause) {
    c.SkipBlanks();
    if (c.i >= c.s.size())
        return false;
    const QChar first = c.s[c.i];
    if (first == '\'') {
        QString value;
        ++c.i;
        bool closed = false;
        while (c.i < c.s.size()) {
            if (c.s[c.i] == '\'') {
                if (c.i + 1 < c.s.size() && c.s[c.i + 1] == '\'') {
                    value += '\'';
                    c.i += 2;
                    continue;
                }
                ++c.i;
                closed = true;
                break;
            }
            value += c.s[c.i++];
        }
        if (!closed)
            return false;
        clause.kind = Kind::Text;
        clause.text = value;
    } else if (first == '#') {
        const qsizetype close = c.s.indexOf('#', c.i + 1);
        if (close < 0)
            return false;
        const auto when = ParseDate(c.s.mid(c.i + 1, close - c.i - 1));
        if (!when)
            return false;
        clause.kind = Kind::Date;
        clause.number = rt::ToDateSerial(*when);
        c.i = close + 1;
    } else if (c.Keyword(QLatin1String("NULL"))) {
        clause.kind = Kind::Null;
    } else {
        const qsizetype start = c.i;
        if (c.s[c.i] == '-' || c.s[c.i] == '+')
            ++c.i;
        while (c.i < c.s.size() &&
               (c.s[c.i].isDigit() || c.s[c.i] == '.' || c.s[c.i] == 'e' || c.s[c.i] == 'E'))
            ++c.i;
        bool ok = false;
        clause.number = c.s.mid(start, c.i - start).toDouble(&ok);
        if (!ok)
            return false;
        clause.kind = Kind::Number;
    }
    return true;
}

std::optional<Criteria> Criteria::Parse(const QString& text, const FieldLookup& lookup,
                                        bool single) {
    Criteria result;
    Cursor c{text};
    std::vector<Clause> group;
    if (c.AtEnd())
        return std::nullopt;
    while (true) {
        Clause clause;
        if (!ParseFieldName(c, lookup, clause) || !ParseOperator(c, clause) ||
            !ParseValue(c, clause))
            return std::nullopt;
        if (clause.op == Op::Like) {
            if (clause.kind != Kind::Text)
                return std::nullopt;
            clause.like = LikePattern(clause.text);
        }
        if (clause.kind == Kind::Null && clause.op != Op::Eq && clause.op != Op::Ne)
            return std::nullopt;
        group.push_back(std::move(clause));
        // Joiner or end.
        if (c.AtEnd())
            break;
        if (single)
            return std::nullopt;
        if (c.Keyword(QLatin1String("AND")))
            continue;
        if (c.Keyword(QLatin1String("OR"))) {
            result.groups_.push_back(std::move(group));
            group.clear();
            continue;
        }
        return std::nullopt;
    }
    result.groups_.push_back(std::move(group));
    return result;
}

bool Criteria::Test(const Clause& clause, const Variant& value) {
    if (clause.kind == Kind::Null)
        return (clause.op == Op::Eq) == (value.IsNull() || value.IsEmpty());
    if (value.IsNull() || value.IsEmpty())
        return false;
    int order = 0;
    const VarType type = value.Type();
    const bool fieldIsText = type == VarType::String || type == VarType::ByteArray;
    if (clause.op == Op::Like) {
        return clause.like.match(value.ToString()).hasMatch();
    }
    if (clause.kind == Kind::Text) {
        if (fieldIsText) {
            order = value.ToString().compare(clause.text, Qt::CaseInsensitive);
        } else if (type == VarType::Date) {
            const auto when = ParseDate(clause.text);
            if (!when)
                return false;
            const double a = value.ToDouble(), b = rt::ToDateSerial(*when);
            order = a < b ? -1 : a > b ? 1 : 0;
        } else {
            const auto number = rt::ParseNumber(clause.text);
            if (!number)
                return false;
            const double a = value.ToDouble();
            order = a < *number ? -1 : a > *number ? 1 : 0;
        }
    } else {
        double a = 0;
        if (fieldIsText) {
            const auto number = clause.kind == Kind::Date ? std::optional<double>()
                                                          : rt::ParseNumber(value.ToString());
            if (clause.kind == Kind::Date) {
                const auto when = ParseDate(value.ToString());
                if (!when)
                    return false;
                a = rt::ToDateSerial(*when);
            } else if (!number) {
                return false;
            } else {
                a = *number;
            }
        } else {
            a = value.ToDouble();
        }
        order = a < clause.number ? -1 : a > clause.number ? 1 : 0;
    }
    switch (clause.op) {
        case Op::Eq:
            return order == 0;
        case Op::Ne:
            return order != 0;
        case Op::Lt:
            return order < 0;
        case Op::Gt:
            return order > 0;
        case Op::Le:
            return order <= 0;
        case Op::Ge:
            return order >= 0;
        case Op::Like:
            break;
    }
    return false;
}

bool Criteria::Matches(const Variant* row) const {
    for (const auto& group : groups_) {
        bool all = true;
        for (const Clause& clause : group) {
            if (!Test(clause, row[clause.field])) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

}  // namespace platform
