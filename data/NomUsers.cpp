#include "data/NomUsers.h"

#include <QComboBox>

#include "core/CryptoClass.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/sql/Recordset.h"

namespace {

constexpr int16_t kFunctionSetup = 2;

}  // namespace

void NomUsersItem::Clear() {
    NomListItem::Clear();
    password_.clear();
    level_ = 2;
    cardNumber_.clear();
}

NomUsers::NomUsers() = default;
NomUsers::~NomUsers() = default;

CryptoClass& NomUsers::OwnCrypto() {
    if (!crypto_)
        crypto_ = std::make_unique<CryptoClass>();
    return *crypto_;
}

ErrorController& NomUsers::Log() {
    return errorLogging_ ? *errorLogging_ : ErrorLogger();
}

int32_t NomUsers::Load(DatabaseClass& database) {
    const QString sql =
        QStringLiteral(" SELECT ID, Code, Name, Name2, UserLevel, Password, CardNumber ") +
        QStringLiteral(" FROM users WHERE Deleted<>-1 ORDER BY Name, Name2");
    return recordset_.Load(database, sql);
}

// A NULL column leaves the item's value as Clear set it.
NomUsersItem NomUsers::CreateItemFromRecord() const {
    NomUsersItem item;
    const platform::Recordset& rs = *recordset_;
    ReadNomListColumns(rs, item);
    rt::IgnoreErrors([&] { item.Setlevel(rs.Fields(QStringLiteral("UserLevel")).ToLong()); });
    rt::IgnoreErrors([&] { item.SetPassword(rs.Fields(QStringLiteral("Password")).ToString()); });
    rt::IgnoreErrors(
        [&] { item.SetCardNumber(rs.Fields(QStringLiteral("CardNumber")).ToString()); });
    return item;
}

void NomUsers::FillComboBox(QComboBox* combo, bool onlyManagers) {
    combo->clear();
    int selected = -1;
    try {
        for (recordset_->MoveFirst(); !recordset_->IsEOF(); recordset_->MoveNext()) {
            const NomUsersItem user = CreateItemFromRecord();
            if (user.ID() <= 1 || (onlyManagers && user.level() < 2))
                continue;
            combo->addItem(user.Name(), user.ID());
            if (user.ID() == activeUser_.ID())
                selected = combo->count() - 1;
        }
    } catch (const AppError&) {
    }
    if (selected >= 0)
        combo->setCurrentIndex(selected);
}

NomUsersItem NomUsers::FindByID(int32_t id) {
    return FindFirst(QStringLiteral(" ID=") + QString::number(id));
}

NomUsersItem NomUsers::FindByName(const QString& name) {
    return FindFirst(QStringLiteral(" Name='") + name + QStringLiteral("'"));
}

NomUsersItem NomUsers::FindByCard(QString& card, const QString& prefix) {
    if (rt::Trim(card).isEmpty())
        return NomUsersItem();
    try {
        platform::Recordset& rs = *recordset_;
        rs.MoveFirst();
        card.remove(QChar(160));
        // An empty card number would match every user without a card (the
        // service user among them): nothing is found for it.
        if (rt::Trim(card).isEmpty())
            return NomUsersItem();
        rs.Find(QStringLiteral(" CardNumber='") + card + QStringLiteral("'"));
        if (rs.IsEOF() && card.startsWith(prefix)) {
            // Always three characters, whatever the prefix's length.
            card = card.mid(3);
            if (rt::Trim(card).isEmpty())
                return NomUsersItem();
            rs.MoveFirst();
            rs.Find(QStringLiteral(" CardNumber='") + card + QStringLiteral("'"));
        }
        if (!rs.IsEOF())
            return CreateItemFromRecord();
    } catch (const AppError&) {
    }
    return NomUsersItem();
}

NomUsersItem NomUsers::FindByPassword(const QString& password, const CryptoClass& crypto) {
    const QString wanted = rt::Trim(password);
    if (wanted.isEmpty())
        return NomUsersItem();
    try {
        platform::Recordset& rs = *recordset_;
        rs.MoveFirst();
        const int32_t rows = rs.RecordCount();
        for (int32_t i = 0; i < rows && !rs.IsEOF(); ++i) {
            int32_t id = 0;
            rt::IgnoreErrors([&] { id = rs.Fields(QStringLiteral("ID")).ToLong(); });
            if (id > 1) {
                QString stored;
                try {
                    stored = rs.Fields(QStringLiteral("Password")).ToString();
                    const QString plain = crypto.Decrypt(stored);
                    if (rt::Trim(plain) == wanted)
                        break;
                } catch (const AppError& e) {
                    // It matches nothing, at every attempt: recorded once for
                    // the user and the text stored, whatever the reloads.
                    const QString key = QString::number(id) + '\t' + stored;
                    if (!undecipherable_.contains(key)) {
                        undecipherable_.insert(key);
                        Log().Add(kSystemError, e.Number(),
                                  e.Description() + QStringLiteral(" (users.ID ") +
                                      QString::number(id) + QStringLiteral(")"),
                                  QStringLiteral("NomUsers.FindByPassword"));
                    }
                }
            }
            rs.MoveNext();
        }
        if (!rs.IsEOF())
            return CreateItemFromRecord();
    } catch (const AppError&) {
    }
    return NomUsersItem();
}

bool NomUsers::CheckPassowrds() {
    try {
        platform::Recordset& rs = *recordset_;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            int32_t id = 0;
            rt::IgnoreErrors([&] { id = rs.Fields(QStringLiteral("ID")).ToLong(); });
            if (id == 1)
                continue;
            QString plain;
            try {
                plain = OwnCrypto().Decrypt(rs.Fields(QStringLiteral("Password")).ToString());
            } catch (const AppError&) {
                return false;
            }
            if (rt::Trim(plain).isEmpty())
                return false;
        }
    } catch (const AppError&) {
    }
    return true;
}

QString NomUsers::ServicePassword() {
    // 13 characters: date and hour.
    const QString stamp = rt::FormatDate(rt::Now(), QStringLiteral("yyyy-MM-dd hh"));
    QString wide;
    wide.reserve(stamp.size() * 2);
    for (QChar c : stamp) {
        wide += c;
        wide += QChar(0);
    }
    const QString digest = OwnCrypto().MD5Encrypt(wide);
    QString digits;
    for (QChar c : digest)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits.left(8);
}

bool NomUsers::GetPermission(int32_t controlId, int32_t& userId) {
    if (userId == 0)
        userId = activeUser_.ID();
    // No operation fills the permission table: every function is allowed.
    return true;
}

bool NomUsers::IsFunctionAllowedForAll(int16_t functionId) const {
    return functionId != kFunctionSetup;
}

NomUsers& Users() {
    static NomUsers instance;
    return instance;
}

namespace {
// No list loaded, no active operator.
void ResetUsers() {
    platform::RenewInPlace(Users());
}
[[maybe_unused]] const bool kUsersResetRegistered = platform::RegisterStateReset(&ResetUsers);
}  // namespace
