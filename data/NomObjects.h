#pragma once

#include <QString>
#include <cstdint>

#include "data/ListRecordset.h"

class DatabaseClass;
class ErrorController;
class QComboBox;

// One object: a table or place of the restaurant. ID 0 stands for no object.
class NomObjectsItem final {
public:
    NomObjectsItem() { Clear(); }

    int32_t ID() const { return id_; }
    void SetID(int32_t v) { id_ = v; }
    QString Code() const { return code_; }
    void SetCode(const QString& v) { code_ = v; }
    QString Name() const { return name_; }
    void SetName(const QString& v) { name_ = v; }
    QString Name2() const { return name2_; }
    void SetName2(const QString& v) { name2_ = v; }
    int16_t IsVeryUsed() const { return isVeryUsed_; }
    void SetIsVeryUsed(int16_t v) { isVeryUsed_ = v; }
    int32_t GroupID() const { return groupID_; }
    void SetGroupID(int32_t v) { groupID_ = v; }
    int32_t PriceGroup() const { return priceGroup_; }
    void SetPriceGroup(int32_t v) { priceGroup_ = v; }

    void Clear();

private:
    int32_t id_ = 0;
    QString code_;
    QString name_;
    QString name2_;
    int16_t isVeryUsed_ = 0;
    int32_t groupID_ = 1;
    int32_t priceGroup_ = 1;
};

// The objects of table objects, read once into a read-only recordset that
// stays open for the run, and the active object. Items are 0-based; every
// find returns a new item (ID 0 when nothing was found) and leaves the active
// object alone: callers assign it. Finds, Item and the fills move the list's
// current row. Used on the user-interface thread only.
class NomObjects final {
public:
    NomObjects();
    ~NomObjects();

    NomObjectsItem& ActiveObject() { return activeObject_; }
    void SetActiveObject(const NomObjectsItem& item) { activeObject_ = item; }
    void SetErrorLogging(ErrorController* log) { errorLogging_ = log; }

    // Runs the list query for the database's type; the row count, 0 when the
    // query failed (DatabaseClass has recorded why).
    int32_t Load(DatabaseClass& database);
    int16_t Count() const;
    NomObjectsItem Item(int16_t index);

    // Lists the objects of one code range (1: codes 1-99, 2: 101-199, ...,
    // 10: 1-999) by Name; the object whose code is the range's upper bound
    // becomes the active object. Pumps window events after each row, so
    // other handlers may run meanwhile. Raises AppError when the list was
    // never loaded.
    void FillComboBoxRestaurant(QComboBox* combo, int16_t range, bool byCode);
    // Lists every object; raises like FillComboBoxRestaurant.
    void FillComboBox(QComboBox* combo, int32_t objectId);

    NomObjectsItem FindByID(int32_t id);
    // The code goes into the criterion as it is: a code holding an apostrophe
    // finds nothing.
    NomObjectsItem FindByCode(const QString& code);

private:
    NomObjectsItem ReadActiveObject() const;

    ListRecordset recordset_;
    NomObjectsItem activeObject_;
    ErrorController* errorLogging_ = nullptr;
};

// The program-wide list, created on first use.
NomObjects& Objects();
