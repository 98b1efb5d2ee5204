-- The point-of-sale database as the station reads and writes it, for MySQL
-- and MariaDB (database type 2). Every text column is utf8mb4; -1 is True in
-- the flag columns (Deleted, IsDefault).

CREATE TABLE `system` (
    ProductID INT NOT NULL,
    Version   VARCHAR(20) NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE goodsgroups (
    ID   INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Code VARCHAR(30) NOT NULL,
    Name VARCHAR(100) NOT NULL DEFAULT '',
    KEY goodsgroups_code (Code)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE goods (
    ID       INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    GroupID  INT NOT NULL,
    Code     VARCHAR(30) NOT NULL DEFAULT '',
    Name     VARCHAR(100) NOT NULL DEFAULT '',
    Name2    VARCHAR(100) NOT NULL DEFAULT '',
    Measure1 VARCHAR(20) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE objects (
    ID         INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Code       VARCHAR(30) NOT NULL DEFAULT '',
    Name       VARCHAR(100) NOT NULL DEFAULT '',
    Name2      VARCHAR(100) NOT NULL DEFAULT '',
    IsVeryUsed SMALLINT NOT NULL DEFAULT 0,
    GroupID    INT NOT NULL DEFAULT 1,
    PriceGroup INT NOT NULL DEFAULT 1,
    Deleted    SMALLINT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE partners (
    ID      INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Company VARCHAR(100) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE users (
    ID         INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Code       VARCHAR(30) NULL,
    Name       VARCHAR(100) NULL,
    Name2      VARCHAR(100) NULL,
    UserLevel  INT NULL,
    Password   VARCHAR(100) NULL,
    CardNumber VARCHAR(50) NULL,
    Deleted    SMALLINT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE operations (
    ID           INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    GoodID       INT NOT NULL,
    UserRealTime DATETIME NOT NULL,
    PartnerID    INT NOT NULL,
    ObjectID     INT NOT NULL,
    OperatorID   INT NOT NULL,
    SrcDocID     INT NOT NULL DEFAULT 0,
    Opertype     INT NOT NULL,
    Acct         INT NOT NULL DEFAULT 0,
    Qtty         DOUBLE NOT NULL DEFAULT 0,
    Note         VARCHAR(255) NOT NULL DEFAULT '',
    KEY operations_open (Opertype, Acct, SrcDocID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE configuration (
    ID      INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    `Key`   VARCHAR(50) NOT NULL,
    UserId  INT NOT NULL DEFAULT 0,
    `Value` VARCHAR(255) NULL,
    KEY configuration_key (`Key`, UserId)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE registration (
    ID          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Code        VARCHAR(30) NULL,
    Company     VARCHAR(150) NULL,
    MOL         VARCHAR(100) NULL,
    City        VARCHAR(100) NULL,
    Address     VARCHAR(255) NULL,
    Phone       VARCHAR(50) NULL,
    Fax         VARCHAR(50) NULL,
    eMail       VARCHAR(100) NULL,
    TaxNo       VARCHAR(30) NULL,
    Bulstat     VARCHAR(30) NULL,
    BankName    VARCHAR(100) NULL,
    BankCode    VARCHAR(30) NULL,
    BankAcct    VARCHAR(50) NULL,
    BankVATAcct VARCHAR(50) NULL,
    Note1       VARCHAR(255) NULL,
    Note2       VARCHAR(255) NULL,
    IsDefault   SMALLINT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE applicationlog (
    ID            INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    Message       VARCHAR(255) NOT NULL,
    MessageSource VARCHAR(100) NOT NULL,
    UserID        INT NOT NULL,
    UserRealTime  DATETIME NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
