#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/ListRecordset.h"

class CryptoClass;
class DatabaseClass;
class ErrorController;
class QComboBox;

// One user (operator). An empty item (after Clear) has ID 0 and level 2.
class NomUsersItem final {
public:
    NomUsersItem() { Clear(); }

    int32_t ID() const { return id_; }
    void SetID(int32_t v) { id_ = v; }
    QString Code() const { return code_; }
    void SetCode(const QString& v) { code_ = v; }
    QString Name() const { return name_; }
    void SetName(const QString& v) { name_ = v; }
    QString Name2() const { return name2_; }
    void SetName2(const QString& v) { name2_ = v; }
    // Enciphered, as stored.
    QString Password() const { return password_; }
    void SetPassword(const QString& v) { password_ = v; }
    int32_t level() const { return level_; }
    void Setlevel(int32_t v) { level_ = v; }
    int16_t IsVeryUsed() const { return isVeryUsed_; }
    void SetIsVeryUsed(int16_t v) { isVeryUsed_ = v; }
    int32_t GroupID() const { return groupID_; }
    void SetGroupID(int32_t v) { groupID_ = v; }
    QString CardNumber() const { return cardNumber_; }
    void SetCardNumber(const QString& v) { cardNumber_ = v; }

    void Clear();

private:
    int32_t id_ = 0;
    QString code_;
    QString name_;
    QString name2_;
    QString password_;
    int32_t level_ = 2;
    int16_t isVeryUsed_ = 0;
    int32_t groupID_ = 1;
    QString cardNumber_;
};

// A per-user permission entry; no operation fills the table.
struct UserSecurityEntry {
    int32_t ControlID = 0;
    int32_t UserID = 0;
    int16_t State = 0;
};

// The users of table users (deleted ones left out, ordered by Name, Name2),
// read once into a read-only recordset, and the active (logged-in) user.
// Every find returns a new item (ID 0 when nothing was found) and leaves the
// active user alone: callers assign it. User 1 is the service user.
class NomUsers final {
public:
    NomUsers();
    ~NomUsers();

    NomUsersItem& ActiveUser() { return activeUser_; }
    void SetActiveUser(const NomUsersItem& user) { activeUser_ = user; }
    void SetErrorLogging(ErrorController* log) { errorLogging_ = log; }

    int32_t Load(DatabaseClass& database);
    int16_t Count() const;
    NomUsersItem Item(int16_t index);
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
    NomUsersItem CreateItemFromRecord() const;
    NomUsersItem FindFirst(const QString& criterion);
    CryptoClass& OwnCrypto();
    ErrorController& Log();

    std::unique_ptr<CryptoClass> crypto_;
    ListRecordset recordset_;
    NomUsersItem activeUser_;
    ErrorController* errorLogging_ = nullptr;
    std::vector<UserSecurityEntry> userSecurityTable_;
    // Users and stored texts whose failure to decipher is recorded.
    QSet<QString> undecipherable_;
};

// The program-wide list, created on first use.
NomUsers& Users();
