-- The demo database: a small billing system. Customers get bills; every bill has its items,
-- each item belongs to a category; some bills come with an act of completed work.
-- Dates are ISO texts (YYYY-MM-DD): SQLite has no date type.
create table customers (
    id integer primary key,
    name text not null,
    inn text not null,              -- taxpayer number
    address text not null
);

create table categories (
    id integer primary key,
    name text not null,
    sort integer not null           -- order of the sections on a bill
);

create table bills (
    id integer primary key,
    number text not null,
    customer_id integer not null references customers(id),
    bill_date text not null,
    note text                       -- printed under the bill when present
);

create table bill_items (
    id integer primary key,
    bill_id integer not null references bills(id),
    line_no integer not null,
    category_id integer not null references categories(id),
    name text not null,
    unit text not null,
    qty real not null,
    price real not null
);

-- The bill and act templates read a bill's items by bill.
create index bill_items_by_bill on bill_items (bill_id, line_no);

create table acts (
    id integer primary key,
    bill_id integer not null unique references bills(id),
    number text not null,
    act_date text not null,
    signer text not null
);

insert into customers (id, name, inn, address) values
    (1, 'ООО «Северный ветер»', '7701234567', 'г. Москва, ул. Лесная, д. 5'),
    (2, 'ИП Ковалёва А. С.', '502912345678', 'г. Подольск, пр-т Ленина, д. 12, кв. 4'),
    (3, 'Lakeside Supplies & Co', '9909123456', 'Riga, Brivibas iela 40'),
    (4, 'АО «Тарнский молочный завод»', '5504123456', 'г. Омск, ул. Заводская, д. 1'),
    (5, 'Nordic Parts Oy', '9909765432', 'Helsinki, Mannerheimintie 12');

insert into categories (id, name, sort) values
    (1, 'Работы и услуги', 1),
    (2, 'Материалы', 2),
    (3, 'Software licences', 3),
    (4, 'Доставка', 4);

-- Bills 100 and 116 lie outside January 2014 and are not exported.
insert into bills (id, number, customer_id, bill_date, note) values
    (100, 'С-2013/212', 1, '2013-12-27', null),
    (101, 'С-2014/001', 1, '2014-01-09', 'Оплата в течение 5 банковских дней.'),
    (102, 'С-2014/002', 2, '2014-01-10', null),
    (103, 'С-2014/003', 3, '2014-01-13', 'Payment in EUR at the bank rate of the payment day.'),
    (104, 'С-2014/004', 4, '2014-01-14', null),
    (105, 'С-2014/005', 5, '2014-01-15', null),
    (106, 'С-2014/006', 1, '2014-01-16', null),
    (107, 'С-2014/007', 2, '2014-01-20', 'Счёт действителен до 31.01.2014.'),
    (108, 'С-2014/008', 4, '2014-01-21', null),
    (109, 'С-2014/009', 3, '2014-01-22', null),
    (110, 'С-2014/010', 5, '2014-01-23', null),
    (111, 'С-2014/011', 1, '2014-01-27', null),
    (112, 'С-2014/012', 4, '2014-01-28', 'Доставка до склада покупателя включена.'),
    (113, 'С-2014/013', 2, '2014-01-29', null),
    (114, 'С-2014/014', 3, '2014-01-31', null),
    (116, 'С-2014/016', 5, '2014-02-03', null);

insert into bill_items (bill_id, line_no, category_id, name, unit, qty, price) values
    (100, 1, 1, 'Настройка оборудования', 'час', 4, 1500.00),
    -- 101: all four sections
    (101, 1, 1, 'Монтаж стеллажей', 'шт', 12, 850.00),
    (101, 2, 2, 'Стеллаж металлический 2000×1000', 'шт', 12, 4200.00),
    (101, 3, 2, 'Крепёж анкерный', 'упак', 6, 315.50),
    (101, 4, 4, 'Доставка по Москве', 'рейс', 1, 2500.00),
    (101, 5, 1, 'Вывоз упаковки', 'рейс', 1, 1200.00),
    (101, 6, 3, 'Warehouse Manager, 1 seat', 'lic', 2, 7490.00),
    -- 102: a single item
    (102, 1, 1, 'Консультация бухгалтера', 'час', 3, 1800.00),
    -- 103: a foreign customer, Latin texts
    (103, 1, 3, 'Route Planner Pro, annual', 'lic', 5, 3999.99),
    (103, 2, 1, 'Remote onboarding session', 'hour', 2, 2750.00),
    (103, 3, 4, 'Courier, documents', 'trip', 1, 640.00),
    -- 104: eight items in three sections
    (104, 1, 2, 'Плёнка стрейч 500 мм', 'рул', 40, 389.00),
    (104, 2, 2, 'Лента клейкая 48 мм', 'шт', 120, 54.90),
    (104, 3, 2, 'Поддон деревянный', 'шт', 25, 310.00),
    (104, 4, 2, 'Уголок картонный', 'шт', 200, 7.35),
    (104, 5, 1, 'Упаковка продукции', 'час', 16, 950.00),
    (104, 6, 1, 'Маркировка партий', 'партия', 8, 420.00),
    (104, 7, 4, 'Доставка до Омска', 'рейс', 2, 18500.00),
    (104, 8, 4, 'Разгрузка', 'час', 3, 700.00),
    (105, 1, 2, 'Bearing 6205-2RS', 'pcs', 50, 212.40),
    (105, 2, 2, 'Seal kit, type B', 'set', 10, 1540.00),
    (105, 3, 4, 'Freight to Helsinki', 'trip', 1, 9800.00),
    (106, 1, 1, 'Техническое обслуживание погрузчика', 'шт', 2, 6400.00),
    (106, 2, 2, 'Масло гидравлическое', 'л', 20, 265.00),
    (107, 1, 3, 'Офисный пакет, годовая подписка', 'lic', 3, 5600.00),
    (107, 2, 1, 'Установка и настройка', 'час', 2, 1800.00),
    (108, 1, 2, 'Ящик пластиковый', 'шт', 60, 185.00),
    (108, 2, 2, 'Этикетка термо 58×40', 'рул', 30, 96.50),
    (108, 3, 2, 'Перчатки нитриловые', 'упак', 15, 430.00),
    (108, 4, 4, 'Доставка до Омска', 'рейс', 1, 18500.00),
    (109, 1, 1, 'Inventory audit', 'day', 2, 12500.00),
    (109, 2, 1, 'Audit report, translated', 'pcs', 1, 4300.00),
    (110, 1, 2, 'Hydraulic hose 1/2"', 'm', 25, 118.00),
    (110, 2, 2, 'Quick coupling', 'pcs', 8, 640.00),
    (110, 3, 1, 'Assembly', 'hour', 5, 1100.00),
    (110, 4, 4, 'Freight to Helsinki', 'trip', 1, 9800.00),
    (111, 1, 3, 'Warehouse Manager, 1 seat', 'lic', 3, 7490.00),
    (111, 2, 1, 'Обучение персонала', 'час', 6, 1500.00),
    (111, 3, 1, 'Перенос данных', 'час', 4, 1500.00),
    (111, 4, 2, 'Сканер штрихкода', 'шт', 2, 8900.00),
    (111, 5, 2, 'Подставка для сканера', 'шт', 2, 690.00),
    (112, 1, 2, 'Молочный сепаратор, запчасти', 'компл', 1, 48700.00),
    (112, 2, 1, 'Ремонт сепаратора', 'час', 12, 1650.00),
    (112, 3, 1, 'Пусконаладка', 'час', 4, 1650.00),
    (112, 4, 4, 'Доставка до Омска', 'рейс', 1, 0.00),
    (112, 5, 2, 'Прокладки уплотнительные', 'шт', 24, 37.25),
    (112, 6, 2, 'Смазка пищевая', 'туба', 6, 540.00),
    (112, 7, 1, 'Выезд инженера', 'выезд', 1, 3500.00),
    (113, 1, 1, 'Консультация бухгалтера', 'час', 1.5, 1800.00),
    (113, 2, 1, 'Подготовка отчётности', 'шт', 1, 4500.00),
    (114, 1, 3, 'Route Planner Pro, annual', 'lic', 2, 3999.99),
    (114, 2, 3, 'Route Planner, mobile add-on', 'lic', 2, 1200.00),
    (114, 3, 1, 'Data migration', 'hour', 8, 2750.00),
    (114, 4, 4, 'Courier, documents', 'trip', 1, 640.00),
    (116, 1, 1, 'Консультация бухгалтера', 'час', 2, 1800.00);

insert into acts (id, bill_id, number, act_date, signer) values
    (9001, 101, 'А-2014/001', '2014-01-14', 'Смирнов П. Р.'),
    (9002, 103, 'A-2014/002', '2014-01-17', 'J. Berzins'),
    (9003, 106, 'А-2014/003', '2014-01-17', 'Смирнов П. Р.'),
    (9004, 109, 'A-2014/004', '2014-01-24', 'J. Berzins'),
    (9005, 112, 'А-2014/005', '2014-01-31', 'Гришина О. В.'),
    (9006, 114, 'A-2014/006', '2014-01-31', 'J. Berzins');
