#include "localization/BuiltInTexts.h"

#include <QString>

#include "localization/ResManagerClass.h"

namespace {

struct FormText {
    const char* Window;
    const char* Control;
    const char* Text;
};

struct GeneralText {
    const char* Name;
    const char* Text;
};

// The order of both tables is part of the contract: the translation tools and
// the export list the entries in it.
constexpr FormText kFormTexts[] = {
    {"AboutForm", "ME", "За програмата"},
    {"AboutForm", "btnOK", "OK"},
    {"FileOpen", "ME", "Изберете файл"},
    {"FileOpen", "btnCancel", "Отказ"},
    {"FileOpen", "btnOK", "OK"},
    {"HelpForm", "ME", "Помощ"},
    {"HelpForm", "btnOK", "OK"},
    {"HelpForm", "btnTab|0", "Клавишни комбинации"},
    {"HelpForm", "btnTab|1", "Бутони"},
    {"HelpForm", "btnTab|2", "Списък на несъответствията"},
    {"MainWindow", "ME", "Quillbarrow Kestrelle"},
    {"MainWindow", "dgViewOrders|1", "Маса"},
    {"MainWindow", "dgViewOrders|3", "Клиент"},
    {"MainWindow", "dgViewOrders|5", "Оператор"},
    {"MainWindow", "dgViewOrders|6", "Сума"},
    // "Имe" ends in a Latin e, as the dictionaries in the field have it.
    {"MainWindow", "dgView|1", "Им\x65"},
    {"MainWindow", "dgView|2", "Коментар"},
    {"MainWindow", "dgView|3", "Група"},
    {"MainWindow", "dgView|4", "Кол."},
    {"MainWindow", "dgView|5", "Час"},
    {"SetupForm", "ME", "Настройки"},
    {"SetupForm", "btnTestConnection", "Проверка на връзката"},
    {"SetupForm", "btnFileOpen", "..."},
    {"SetupForm", "lblCommunication", "Комуникация:"},
    {"SetupForm", "lblServerName", "Сървър:"},
    {"SetupForm", "lblLocalServerName", "Локален сървър:"},
    {"SetupForm", "lblPassword", "Парола:"},
    // The fifth letter is a Latin e.
    {"SetupForm", "lblUser",
     "Потр\x65"
     "бителско име:"},
    {"SetupForm", "lblName", "База данни:"},
    {"SetupForm", "lblPath", "Път:"},
    {"SetupForm", "lblDBType", "Тип база данни:"},
    {"SetupForm", "lblColorScheme", "Цветова схема:"},
    {"SetupForm", "lblLanguage", "Език:"},
    {"SetupForm", "lblCountry", "Държава:"},
    {"SetupForm", "btnCancel", "Отказ"},
    {"SetupForm", "btnSave", "Запис"},
    {"SetupForm", "btnTab|0", "Специални"},
    {"SetupForm", "btnTab|1", "Основни"},
    {"SetupForm", "lblPass1", "Парола:"},
    {"SetupForm", "lblPass2", "Потвърдете паролата:"},
    {"SetupForm", "lblIPPort", "IP порт:"},
    {"SetupGroupsForm", "ME", "Групи - стоки"},
    {"SetupGroupsForm", "btnCancel", "Отказ"},
    {"SetupGroupsForm", "btnSave", "Запис"},
    {"SetupGroupsForm", "btnDefault", "По подразбиране"},
    {"UsersLoginForm", "ME", "Идентификация"},
};

constexpr GeneralText kGeneralTexts[] = {
    {"strLanguage", "Български"},
    {"strAttention", "Внимание"},
    {"strExit", "Желаете ли изход от програмата?"},
    {"strUnload", "Изход от програмата"},
    {"strDBConn", "Не може да бъде направена връзка с базата данни!"},
    {"strMyODBCMissing", "MySQL ODBC driver (version 3.51.11) is missing!"},
    {"strDatabaseLoad", "Базата данни"},
    {"strUnknownProduct", "не е на Quillbarrow Ferromont и не може да бъде използвана!"},
    {"strDiffVersion1", "Не е възможно да се използва база данни версия"},
    {"strDiffVersion2", "! Системата може да работи само с версия"},
    {"strDiffVersion3", ". Свържете се с Quillbarrow за повече информация."},
    {"strTestYes", "Връзката с базата данни '%1' е направена успешно!"},
    {"strTestNo", "Не може да бъде направена връзка с базата данни '%1'!"},
    {"strDisable", "Неактивно"},
    {"strEnable", "Активно"},
    {"strBulgaria", "България"},
    {"strKenya", "Кения"},
    {"strRussia", "Русия"},
    {"strRomania", "Румъния"},
    {"strCyprus", "Кипър"},
    {"strMalta", "Малта"},
    {"strGreece", "Гърция"},
    {"strMoldova", "Молдова"},
    {"strKazahstan", "Казахстан"},
    {"strCanada", "Канада"},
    {"strUSA", "САЩ"},
    {"strBelarus", "Беларус"},
    {"strSpain", "Испания"},
    {"strMexico", "Мексико"},
    {"strGermany", "Германия"},
    {"strTurkey", "Турция"},
    {"strUkraine", "Украйна"},
    {"strPriceFormat", "Формат на цените"},
    {"strQttyFormat", "Формат на количествата"},
    {"strRestriction", "Ограничен достъп"},
    {"strWarningSaveChages", "Предупреждение за незаписани промени"},
    {"strAssistant", "Подсказки"},
    {"strSoundNotification", "Звуково известяване"},
    {"strObjectCodeRange", "Обхват на кодовете на обектите"},
    {"strGoodsGroups", "Групи стоки"},
    {"strPosition", "Позиция"},
    {"strAutoLock", "Автоматично заключване"},
    {"strPrefixUsers", "Префикс на потребителските карти"},
    {"strStandard", "Стандартно"},
    {"strDefault", "По подразбиране"},
    {"strByChoice", "По избор"},
    {"strAll", "Всички"},
    {"strContactsRomania",
     "Quillbarrow Romania SRL|Str. Exemplu 1|010011 "
     "Bucureşti|www.quillbarrow.example|romania@quillbarrow.example"},
    {"strContactsKenya",
     "Quillbarrow East Africa Ltd|P.O. Box 100|00100 "
     "Nairobi|www.quillbarrow.example|kenya@quillbarrow.example"},
    {"strContactsBulgaria",
     "Куилбароу ООД|ул. \"Примерна\" 1|1000 "
     "София|www.quillbarrow.example|office@quillbarrow.example"},
    {"strContactsUSA",
     "Quillbarrow USA Inc.|100 Example Street|Springfield, IL "
     "62701|www.quillbarrow.example|usa@quillbarrow.example"},
    {"strCancel", "Отказ"},
    {"strBlue", "Синя"},
    {"strLila", "Лилава"},
    {"strLime", "Зелена"},
    {"strActiveOrders", "Активни поръчки"},
    {"strClientBON", "Клиент"},
    {"strObjectBON", "Маса"},
    {"strOperatorBON", "Оператор"},
    {"strEnterPassword", "Моля, въведете парола!"},
    {"strChangeUser", "Смяна на потребител"},
    {"strLoginFailedApplicationLog", "Въведена грешна парола за потребител от компютър '%1' (%2)"},
    {"strActiveBaseMessage", "Базата с която работите в момента е"},
    {"strHelp", "Помощ"},
    {"strAbout", "За програмата"},
    {"strActiveBase", "Активна база данни"},
    {"strSetup", "Настройки"},
    {"strFirstOrder", "Първа поръчка"},
    {"strPreviousOrder", "Предишна поръчка"},
    {"strNextOrder", "Следваща поръчка"},
    {"strLastOrder", "Последна поръчка"},
    {"strRowUP", "Ред нагоре"},
    {"strRowDown", "Ред надолу"},
    {"strFinish", "Приключи"},
    {"strRefresh", "Опресни"},
    {"strDeleteOrder", "Изчисти поръчката"},
    {"strWrongPassword", "Грешно потвърждение на парола!"},
    {"strFinishWholeOrder", "Приключване на цялата поръчка"},
    {"strFocusNewOrder", "Фокус върху новата поръчка"},
    // Cyrillic letters here; the window entries "btnOK" use the Latin "OK".
    {"strVBOk", "ОК"},
    {"strVBCancel", "Отказ"},
    {"strVBAbort", "Прекъсване"},
    {"strVBRetry", "Отново"},
    {"strVBIgnore", "Отхвърляне"},
    {"strVBYes", "Да"},
    {"strVBNo", "Не"},
    // Texts looked up by the program that came after the table above; they
    // follow its last entry so that every index above stays.
    {"strNoPermission", "Нямате права за изход без идентификация!"},
    {"strForbidden", "Забранено"},
    {"strSettingsNotSaved", "Настройките не могат да бъдат записани във файла '%1'!"},
    {"strOrdersNotSaved", "Поръчките не могат да бъдат записани във файла '%1' (%2)!"},
    {"strHistoryNotSaved", "Поръчката не е изчистена: файлът '%1' не може да бъде записан (%2)!"},
    {"strItemsNotFinished", "Поръчката не е приключена: базата данни отказа записа (%1)!"},
    {"strAlreadyRunning",
     "Програмата вече работи с папката с данни '%1'! Второ копие не може да бъде стартирано."},
    {"strFolderNotLocked",
     "Файлът '%1' не може да бъде заключен (%2)! Програмата не може да работи с тази папка с "
     "данни."},
    {"strSettingLosesLetters",
     "Настройките не са записани: полето '%1' съдържа букви, които кодовата таблица %2 няма "
     "(%3). Променете полето!"},
    {"strBoardChanged", "Поръчката не е приключена: поръчките в базата данни се промениха!"},
};

}  // namespace

void RegisterBuiltInTexts() {
    LoadDefaultFormCaptions();
    LoadDefaultStrings();
}

void LoadDefaultFormCaptions() {
    ResManagerClass& rm = ResManager();
    for (const FormText& t : kFormTexts)
        rm.AddResourceForm(QString::fromUtf8(t.Window), QString::fromUtf8(t.Control),
                           QString::fromUtf8(t.Text));
}

void LoadDefaultStrings() {
    ResManagerClass& rm = ResManager();
    for (const GeneralText& t : kGeneralTexts)
        rm.AddResource(QString::fromUtf8(t.Name), QString::fromUtf8(t.Text));
}
