-- The demo database: customers, their bills and the acts some bills come with.
create table customers (
    id integer primary key,
    name text not null
);

create table bills (
    id integer primary key,
    number text not null,
    customer_id integer not null references customers(id),
    bill_date text not null,      -- YYYY-MM-DD
    amount real not null,
    act_id integer                -- null: the bill has no act
);

insert into customers (id, name) values
    (1, 'ООО "Северный ветер"'),
    (2, 'ИП Ковалёва А. С.'),
    (3, 'Lakeside Supplies & Co');

insert into bills (id, number, customer_id, bill_date, amount, act_id) values
    (101, 'С-2014/001', 1, '2014-01-09', 15200.50, 9001),
    (102, 'С-2014/002', 2, '2014-01-17', 840.00, null),
    (103, 'С-2014/003', 3, '2014-01-28', 12.5, 9002),
    (104, 'С-2014/004', 1, '2014-02-03', 300.00, null);
