#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace platform {
class Recordset;
}

// The top-level goods groups (codes of 3 characters): ID, Code, Name ordered
// by Code. Null until the first LoadGoodsGroups; closed after a failed one.
std::shared_ptr<platform::Recordset>& GoodsGroupsRecordset();

// Replaces GoodsGroupsRecordset with a fresh read through the global
// Database's local-server connection.
void LoadGoodsGroups();

struct CompanyRegistration {
    int32_t ID = 0;
    QString Code;
    QString Company;
    QString MOL;
    QString City;
    QString Address;
    QString Phone;
    QString Fax;
    QString eMail;
    QString TaxNo;
    QString Bulstat;
    QString BankName;
    QString BankCode;
    QString BankAcct;
    QString BankVATAcct;
    QString Note1;
    QString Note2;
    bool IsDefault = false;
};

// The registration of the company the active user works for (configuration
// key 49), else of the default company. A missing row or a failure is
// recorded once under "Operations.DefaultObjectReg" in the global error log;
// the caller always receives a record, filled as far as it got.
CompanyRegistration DefaultObjectReg(bool clean);

// QualifySQL of the text, then every "/" and "\" removed.
QString CleanRegistrationText(const QString& text);
