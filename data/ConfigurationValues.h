#pragma once

#include <cstdint>

#include "platform/Variant.h"

// Per-user values of table configuration: the row of key "configkey" & n for
// the user with the highest ID wins. Read through the local-server
// connection of the global Database.

// The value, Empty when there is none or the query failed (the failure is
// recorded by DatabaseClass).
Variant ReadConfigurationValue(int16_t keyNumber, int32_t userId);

// Key 49 as a 32-bit integer: the company registration of the user, 0 when
// there is none (an empty or NULL value). Raises AppError for a value that is
// no number.
int32_t GetUserRegistrationID(int32_t userId);
