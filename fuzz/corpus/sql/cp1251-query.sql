-- cp1251 text without a mark
select 'Ñ÷¸ò' as ft1_name
