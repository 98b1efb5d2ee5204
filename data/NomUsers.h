#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/NomList.h"

class CryptoClass;
class DatabaseClass;
class ErrorController;
class QComboBox;

// One user (operator). An empty item (after Clear) has ID 0 and level 2;
// IsVeryUsed and GroupID are not read from the database.
class NomUsersItem final : public NomListItem {
public:
    NomUsersItem() { Clear(); }

    // Enciphered, as stored.
    QString Password() const { return password_; }
    void SetPassword(const QString& v) { password_ = v; }
    int32_t level() const { return level_; }
    void Setlevel(int32_t v) { level_ = v; }
    QString CardNumber() const { return cardNumber_; }
    void SetCardNumber(const QString& v) { cardNumber_ = v; }

    void Clear();

private:
    QString password_;
    int32_t level_ = 2;
    QString cardNumber_;
};

// A per-user permission entry; no operation fills the table.
struct UserSecurityEntry {
    int32_t ControlID = 0;
    int32_t UserID = 0;
    int16_t State = 0;
};

// The users of table users (deleted ones left out, ordered by Name, Name2) and
// the active (logged-in) user. Every find leaves the active user alone:
// callers assign it. User 1 is the service user.
class NomUsers final : public NomList<NomUsersItem> {
public:
    NomUsers();
    ~NomUsers();

    NomUsersItem& ActiveUser() { return activeUser_; }
    void SetActiveUser(const NomUsersItem& user) { activeUser_ = user; }

    int32_t Load(DatabaseClass& database);
    // Users with ID above 1 by Name (item data the ID), without those below
    // level 2 when onlyManagers is set; selects the active user's entry.
    void FillComboBox(QComboBox* combo, bool onlyManagers);

    NomUsersItem FindByID(int32_t id);
    NomUsersItem FindByName(const QString& name);
    // The card text loses its no-break spaces (the caller's text too) and,
    // when no user holds the whole text and it begins with the prefix, its
    // first three characters. A card holding an apostrophe finds nothing.
    NomUsersItem FindByCard(QString& card, const QString& prefix);
    // The first user (ID above 1) whose deciphered password equals the given
    // one, both trimmed. A stored password that does not decipher matches
    // nothing and is recorded in the error log once.
    NomUsersItem FindByPassword(const QString& password, const CryptoClass& crypto);
    // False when a user other than the service user has a password that
    // deciphers to blanks (or does not decipher).
    bool CheckPassowrds();
    // At most 8 decimal digits that change every hour.
    QString ServicePassword();

    // A user id of 0 stands for the active user (the caller's variable
    // receives its ID). Every function is allowed to every user.
    bool GetPermission(int32_t controlId, int32_t& userId);
    bool IsFunctionAllowedForAll(int16_t functionId) const;

private:
    NomUsersItem ReadItem() const override { return CreateItemFromRecord(); }
    NomUsersItem CreateItemFromRecord() const;
    CryptoClass& OwnCrypto();
    ErrorController& Log();

    std::unique_ptr<CryptoClass> crypto_;
    NomUsersItem activeUser_;
    std::vector<UserSecurityEntry> userSecurityTable_;
    // Users and stored texts whose failure to decipher is recorded.
    QSet<QString> undecipherable_;
};

// The program-wide list, created on first use.
NomUsers& Users();
