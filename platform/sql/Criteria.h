#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Variant.h"

namespace platform {

// A recordset criterion as Filter and Find take it: comparisons
// "field op value" joined by AND and OR (AND binds first). A field is a name
// or a [bracketed name]; op is =, <>, <, >, <=, >= or LIKE; a value is a
// number, a 'quoted text' ('' inside stands for one apostrophe), a #date# or
// NULL. Texts compare without regard to case; LIKE takes * or % for any run of
// characters and _ or ? for one.
class Criteria final {
public:
    // Resolves a field name to its column, -1 when the recordset has none.
    using FieldLookup = std::function<int(const QString&)>;

    // nullopt for text that is not a criterion, including a quoted value with
    // a stray apostrophe inside ("Code='a'b'"): such a criterion matches no
    // row. Raises AppError 3265 for a field the recordset does not have.
    // With single set, only one comparison is a criterion (as Find takes it):
    // "Code='x' OR Code<>''" is then no criterion at all.
    static std::optional<Criteria> Parse(const QString& text, const FieldLookup& lookup,
                                         bool single = false);

    // Whether the row (one value per column) satisfies the criterion.
    bool Matches(const Variant* row) const;

private:
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };
    enum class Kind { Number, Text, Date, Null };
    struct Clause {
        int field = -1;
        Op op = Op::Eq;
        Kind kind = Kind::Null;
        double number = 0;
        QString text;
        QRegularExpression like;
    };

    struct Cursor;
    // The three parts of one comparison, each read from the cursor on; false
    // for text that is not that part.
    static bool ParseFieldName(Cursor& c, const FieldLookup& lookup, Clause& clause);
    static bool ParseOperator(Cursor& c, Clause& clause);
    static bool ParseValue(Cursor& c, Clause& clause);

    static bool Test(const Clause& clause, const Variant& value);

    // Disjunction of conjunctions.
    std::vector<std::vector<Clause>> groups_;
};

}  // namespace platform
