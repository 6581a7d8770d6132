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
    (112, 'С-2014/012', 4, '2014-01-28', 'Доставка до склада по�