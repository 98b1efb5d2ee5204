#include "data/ModOperations.h"

#include "core/ErrorController.h"
#include "data/ConfigurationValues.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/sql/Recordset.h"

std::shared_ptr<platform::Recordset>& GoodsGroupsRecordset() {
    static std::shared_ptr<platform::Recordset> recordset;
    return recordset;
}

namespace {
// The goods groups are read again after a reset.
[[maybe_unused]] const bool kGoodsGroupsResetRegistered =
    platform::RegisterStateReset([] { GoodsGroupsRecordset().reset(); });
}  // namespace

void LoadGoodsGroups() {
    QString sql = QStringLiteral("SELECT ID, Code, Name FROM goodsgroups ");
    switch (Database().ConnectTo()) {
        case kDbMySql:
            sql += QStringLiteral(" WHERE length(code)=3 ");
            break;
        case kDbOracle:
            sql += QStringLiteral(" WHERE LENGTH(code)=3 ");
            break;
        default:
            sql += QStringLiteral(" WHERE len(code)=3 ");
            break;
    }
    sql += QStringLiteral(" ORDER BY Code ");
    GoodsGroupsRecordset().reset();
    GoodsGroupsRecordset() = Database().ExecuteRecordsetRepl(sql, 1);
}

QString CleanRegistrationText(const QString& text) {
    QString clean = DatabaseClass::QualifySQL(text);
    clean.remove(QLatin1Char('/'));
    clean.remove(QLatin1Char('\\'));
    return clean;
}

CompanyRegistration DefaultObjectReg(bool clean) {
    CompanyRegistration r;
    const QString method = QStringLiteral("Operations.DefaultObjectReg");
    try {
        const int32_t n = GetUserRegistrationID(Users().ActiveUser().ID());
        QString sql =
            QStringLiteral("SELECT Address, BankAcct, BankCode, BankName, ") +
            QStringLiteral(" BankVATAcct, Bulstat, City, Code, Company, ") +
            QStringLiteral(" eMail, Fax, ID, IsDefault, MOL, Phone, TaxNo, Note1, Note2 ") +
            QStringLiteral(" FROM registration ");
        if (n != 0)
            sql += QStringLiteral(" WHERE ID = ") + QString::number(n);
        else
            sql += QStringLiteral(" WHERE IsDefault = -1");
        const auto rs = Database().ExecuteRecordsetRepl(sql, 1);
        if (rs->IsEOF()) {
            ErrorLogger().Add(kSystemError, 0, QString(), method);
            return CompanyRegistration();
        }
        auto text = [&](const char* name) { return rs->Fields(QLatin1String(name)).ToString(); };
        r.ID = rs->Fields(QStringLiteral("ID")).ToLong();
        r.Code = text("Code");
        r.Company = text("Company");
        r.MOL = text("MOL");
        r.City = text("City");
        r.Address = text("Address");
        r.Phone = text("Phone");
        r.Fax = text("Fax");
        r.eMail = text("eMail");
        r.TaxNo = text("TaxNo");
        r.Bulstat = text("Bulstat");
        r.BankName = text("BankName");
        r.BankCode = text("BankCode");
        r.BankAcct = text("BankAcct");
        r.BankVATAcct = text("BankVATAcct");
        r.Note1 = text("Note1");
        r.Note2 = text("Note2");
        r.IsDefault = rs->Fields(QStringLiteral("IsDefault")).ToBoolean();
        if (clean) {
            for (QString* field : {&r.Code, &r.Company, &r.MOL, &r.City, &r.Address, &r.Phone,
                                   &r.Fax, &r.eMail, &r.TaxNo, &r.Bulstat, &r.BankName, &r.BankCode,
                                   &r.BankAcct, &r.BankVATAcct, &r.Note1, &r.Note2})
                *field = CleanRegistrationText(*field);
        }
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(), method);
    } catch (const std::exception& e) {
        ErrorLogger().Add(kSystemError, 0, QString::fromUtf8(e.what()), method);
    }
    return r;
}
