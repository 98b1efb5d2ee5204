-- The point-of-sale database as the station reads and writes it, for SQLite
-- (database type 0). Dates are stored as 'yyyy-mm-dd hh:nn:ss' text in
-- DATETIME columns; -1 is True in the flag columns (Deleted, IsDefault).
PRAGMA foreign_keys = OFF;

CREATE TABLE system (
    ProductID INTEGER NOT NULL,
    Version   TEXT    NOT NULL
);

CREATE TABLE goodsgroups (
    ID   INTEGER PRIMARY KEY,
    Code TEXT NOT NULL,
    Name TEXT NOT NULL DEFAULT ''
);
CREATE INDEX goodsgroups_code ON goodsgroups (Code);

CREATE TABLE goods (
    ID       INTEGER PRIMARY KEY,
    GroupID  INTEGER NOT NULL,
    Code     TEXT    NOT NULL DEFAULT '',
    Name     TEXT    NOT NULL DEFAULT '',
    Name2    TEXT    NOT NULL DEFAULT '',
    Measure1 TEXT    NOT NULL DEFAULT ''
);

CREATE TABLE objects (
    ID         INTEGER PRIMARY KEY,
    Code       TEXT    NOT NULL DEFAULT '',
    Name       TEXT    NOT NULL DEFAULT '',
    Name2      TEXT    NOT NULL DEFAULT '',
    IsVeryUsed INTEGER NOT NULL DEFAULT 0,
    GroupID    INTEGER NOT NULL DEFAULT 1,
    PriceGroup INTEGER NOT NULL DEFAULT 1,
    Deleted    INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE partners (
    ID      INTEGER PRIMARY KEY,
    Company TEXT NOT NULL DEFAULT ''
);

CREATE TABLE users (
    ID         INTEGER PRIMARY KEY,
    Code       TEXT,
    Name       TEXT,
    Name2      TEXT,
    UserLevel  INTEGER,
    Password   TEXT,
    CardNumber TEXT,
    Deleted    INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE operations (
    ID           INTEGER PRIMARY KEY,
    GoodID       INTEGER  NOT NULL,
    UserRealTime DATETIME NOT NULL,
    PartnerID    INTEGER  NOT NULL,
    ObjectID     INTEGER  NOT NULL,
    OperatorID   INTEGER  NOT NULL,
    SrcDocID     INTEGER  NOT NULL DEFAULT 0,
    Opertype     INTEGER  NOT NULL,
    Acct         INTEGER  NOT NULL DEFAULT 0,
    Qtty         REAL     NOT NULL DEFAULT 0,
    Note         TEXT     NOT NULL DEFAULT ''
);
CREATE INDEX operations_open ON operations (Opertype, Acct, SrcDocID);

CREATE TABLE configuration (
    ID     INTEGER PRIMARY KEY,
    "Key"  TEXT    NOT NULL,
    UserId INTEGER NOT NULL DEFAULT 0,
    "Value" TEXT
);
CREATE INDEX configuration_key ON configuration ("Key", UserId);

CREATE TABLE registration (
    ID          INTEGER PRIMARY KEY,
    Code        TEXT,
    Company     TEXT,
    MOL         TEXT,
    City        TEXT,
    Address     TEXT,
    Phone       TEXT,
    Fax         TEXT,
    eMail       TEXT,
    TaxNo       TEXT,
    Bulstat     TEXT,
    BankName    TEXT,
    BankCode    TEXT,
    BankAcct    TEXT,
    BankVATAcct TEXT,
    Note1       TEXT,
    Note2       TEXT,
    IsDefault   INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE applicationlog (
    ID            INTEGER PRIMARY KEY,
    Message       TEXT     NOT NULL,
    MessageSource TEXT     NOT NULL,
    UserID        INTEGER  NOT NULL,
    UserRealTime  DATETIME NOT NULL
);
