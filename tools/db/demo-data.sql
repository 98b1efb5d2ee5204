-- A small restaurant, valid for both schemas. Waiters' passwords are
-- enciphered as the station deciphers them: Иван 1111, Мария 2222, the
-- manager 3333, Петър 4444, the service user 9999. Cards: 10001, 10002,
-- 10003 (a reader may type the prefix 971 in front).

INSERT INTO `system` (ProductID, Version) VALUES (1, '3.07');

INSERT INTO goodsgroups (ID, Code, Name) VALUES
 (1, '001', 'Кухня'),
 (2, '001001', 'Салати'),
 (3, '001002', 'Скара'),
 (4, '002', 'Бар'),
 (5, '002001', 'Топли напитки'),
 (6, '003', 'Десерти');

INSERT INTO goods (ID, GroupID, Code, Name, Name2, Measure1) VALUES
 (1, 2, '1001', 'Шопска салата', 'Shopska salad', 'бр.'),
 (2, 3, '1002', 'Кебапчета', 'Kebapcheta', 'бр.'),
 (3, 3, '1003', 'Свинска пържола', 'Pork chop', 'бр.'),
 (4, 5, '2001', 'Кафе', 'Coffee', 'бр.'),
 (5, 5, '2002', 'Чай', 'Tea', 'бр.'),
 (6, 6, '3001', 'Баница с тиква', 'Pumpkin pie', 'бр.');

INSERT INTO objects (ID, Code, Name, Name2, IsVeryUsed, GroupID, PriceGroup, Deleted) VALUES
 (1, '1', 'Маса 1', 'Table 1', 0, 1, 1, 0),
 (2, '2', 'Маса 2', 'Table 2', 0, 1, 1, 0),
 (3, '12', 'Маса 12', 'Table 12', 0, 1, 1, 0),
 (4, '100', 'Салон', 'Hall', 0, 1, 1, 0),
 (5, '101', 'Бар 1', 'Bar 1', 0, 2, 1, 0),
 (6, '150', 'Тераса', 'Terrace', 0, 2, 2, 0),
 (7, '5', 'Стара маса', 'Old table', 0, 1, 1, -1);

INSERT INTO partners (ID, Company) VALUES
 (1, 'Клиент на дребно'),
 (2, 'Алфа ООД');

INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, CardNumber, Deleted) VALUES
 (1, '1', 'Сервиз', 'Service', 9, 'WuijlDU49Jk=', '', 0),
 (2, '2', 'Иван Петров', 'Ivan Petrov', 1, 'IuNmCIlzrvw=', '10001', 0),
 (3, '3', 'Мария Георгиева', 'Maria Georgieva', 1, 'SBIOQAM3SCo=', '10002', 0),
 (4, '4', 'Управител', 'Manager', 2, 'yth0OiShC6U=', '10003', 0),
 (5, '5', 'Петър Стоянов', 'Petar Stoyanov', 1, 'E9NOIHdGO2I=', '', -1);

INSERT INTO registration (ID, Code, Company, MOL, City, Address, Phone, Fax, eMail, TaxNo,
                          Bulstat, BankName, BankCode, BankAcct, BankVATAcct, Note1, Note2,
                          IsDefault) VALUES
 (1, '1', 'Ресторант Кестрел ЕООД', 'Иван Иванов', 'София', 'ул. Витоша 1', '02 123 456', '',
  'office@kestrel.example', 'BG123456789', '123456789', 'Банка', 'BANKBGSF', 'BG00BANK1', '', '', '', -1),
 (2, '2', 'Кестрел Бар ООД', 'Мария Иванова', 'Пловдив', 'ул. Главна 2', '032 654 321', '',
  'bar@kestrel.example', 'BG987654321', '987654321', 'Банка', 'BANKBGSF', 'BG00BANK2', '', '', '', 0);

INSERT INTO configuration (ID, `Key`, UserId, `Value`) VALUES
 (1, 'configkey49', 4, '2');

INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, ObjectID, OperatorID, SrcDocID,
                        Opertype, Acct, Qtty, Note) VALUES
 (1, 1, '2026-12-08 12:00:00', 1, 1, 2, 0, 33, 0, 2, ''),
 (2, 2, '2026-12-08 12:00:30', 1, 1, 2, 0, 33, 0, 10, 'добре опечени'),
 (3, 4, '2026-12-08 12:01:00', 1, 1, 2, 0, 33, 0, 2, ''),
 (4, 3, '2026-12-08 12:05:00', 2, 3, 3, 0, 33, 0, 1, 'без гарнитура'),
 (5, 6, '2026-12-08 12:06:00', 2, 3, 3, 0, 33, 0, 3, ''),
 (6, 5, '2026-12-08 12:10:00', 1, 5, 3, 0, 33, 0, 1, 'с лимон'),
 (7, 1, '2026-12-08 11:30:00', 1, 2, 2, -1, 33, 0, 1, '');
