#pragma once

#include <QString>
#include <cstdint>

#include "data/NomList.h"

class DatabaseClass;
class QComboBox;

// One object: a table or place of the restaurant. ID 0 stands for no object.
class NomObjectsItem final : public NomListItem {
public:
    NomObjectsItem() { Clear(); }

    int32_t PriceGroup() const { return priceGroup_; }
    void SetPriceGroup(int32_t v) { priceGroup_ = v; }

    void Clear();

private:
    int32_t priceGroup_ = 1;
};

// The objects of table objects (deleted ones left out) and the active object.
// Every find leaves the active object alone: callers assign it. The fills
// move the list's current row too.
class NomObjects final : public NomList<NomObjectsItem> {
public:
    NomObjects();
    ~NomObjects();

    NomObjectsItem& ActiveObject() { return activeObject_; }
    void SetActiveObject(const NomObjectsItem& item) { activeObject_ = item; }

    // Runs the list query for the database's type; the row count, 0 when the
    // query failed (DatabaseClass has recorded why).
    int32_t Load(DatabaseClass& database);

    // Lists the objects of one code range (1: codes 1-99, 2: 101-199, ...,
    // 10: 1-999) by Name; the object whose code is the range's upper bound
    // becomes the active object. Raises AppError when the list was never
    // loaded.
    void FillComboBoxRestaurant(QComboBox* combo, int16_t range, bool byCode);
    // Lists every object; raises like FillComboBoxRestaurant.
    void FillComboBox(QComboBox* combo, int32_t objectId);

    NomObjectsItem FindByID(int32_t id);
    // The code goes into the criterion as it is: a code holding an apostrophe
    // finds nothing.
    NomObjectsItem FindByCode(const QString& code);

private:
    NomObjectsItem ReadItem() const override { return ReadActiveObject(); }
    NomObjectsItem ReadActiveObject() const;

    NomObjectsItem activeObject_;
};

// The program-wide list, created on first use.
NomObjects& Objects();
