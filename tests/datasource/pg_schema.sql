-- Schema of the private PostgreSQL test server (scripts/testdb.sh loads it).

CREATE TABLE sales (
  id         integer PRIMARY KEY,
  region     varchar(20) NOT NULL,
  city       text,
  qty        integer,
  price      double precision,
  amount     numeric(12,2),
  big        bigint,
  small      smallint,
  day        date,
  at         timestamp,
  tm         time,
  paid       boolean,
  note       text,
  pic        bytea
);

INSERT INTO sales VALUES
  (1, '华北', '北京', 3, 2.5, 7.50, 5000000000, 1, '2024-01-31', '2024-01-31 08:30:00', '08:30:00', true, NULL, '\x0102'),
  (2, '华东', '上海', 5, 1.25, 6.25, NULL, 2, '2024-02-29', '2024-02-29 23:59:59', '23:59:59', false, '加急', NULL),
  (3, '华南', '广州', NULL, 4, 0, 1, NULL, NULL, NULL, NULL, NULL, '', NULL);

-- No primary key: rows are found by all their values.
CREATE TABLE nokey (a integer, b text);
INSERT INTO nokey VALUES (1, 'x'), (2, 'y'), (2, 'y');

-- A table whose rows the database refuses to change.
CREATE TABLE guarded (id integer PRIMARY KEY, v integer CHECK (v < 100));
INSERT INTO guarded VALUES (1, 10);

CREATE TABLE "odd ""name"" 表" (a integer PRIMARY KEY, "b c" text);
INSERT INTO "odd ""name"" 表" VALUES (7, 'x');

CREATE TABLE "销售 明细" (编号 integer PRIMARY KEY, 地区 text);
INSERT INTO "销售 明细" VALUES (1, '华北');

CREATE VIEW v_sales AS SELECT region, qty FROM sales;

CREATE FUNCTION sales_in_region(p_region varchar) RETURNS SETOF sales
  LANGUAGE sql STABLE AS $$ SELECT * FROM sales WHERE region = p_region ORDER BY id $$;

CREATE FUNCTION sales_between(p_from date, p_to date)
  RETURNS TABLE (id integer, region varchar, day date)
  LANGUAGE sql STABLE AS $$ SELECT id, region, day FROM sales WHERE day BETWEEN p_from AND p_to ORDER BY id $$;

CREATE FUNCTION add_tax(IN p_amount numeric, INOUT p_rate numeric, OUT p_total numeric)
  LANGUAGE plpgsql AS $$ BEGIN p_total := p_amount * (1 + p_rate); p_rate := p_rate * 100; END $$;

CREATE PROCEDURE bump_qty(IN p_id integer, INOUT p_by integer)
  LANGUAGE plpgsql AS $$ BEGIN UPDATE sales SET qty = qty + p_by WHERE id = p_id; p_by := p_by * 2; END $$;

-- Parameters whose names differ only in letter case, after a return value without a name.
CREATE FUNCTION join_codes("Code" varchar, code varchar) RETURNS varchar
  LANGUAGE sql IMMUTABLE AS $$ SELECT $1 || '-' || $2 $$;

-- A procedure without parameters.
CREATE FUNCTION sales_regions() RETURNS SETOF varchar
  LANGUAGE sql STABLE AS $$ SELECT region FROM sales ORDER BY id $$;

-- Objects outside the default schema, one of them named like a table of public, and
-- names with a dot or a reserved word that are not what they seem.
CREATE SCHEMA 财务;
CREATE TABLE 财务.账目 (编号 integer PRIMARY KEY, 摘要 text, 金额 numeric(12,2));
INSERT INTO 财务.账目 VALUES (1, '期初', 100.00), (2, '收款', 25.50);
CREATE TABLE 财务.sales (id integer PRIMARY KEY, memo text);
INSERT INTO 财务.sales VALUES (9, '另一个');
CREATE TABLE "a.b" (x integer);
INSERT INTO "a.b" VALUES (5);
CREATE SCHEMA "odd ""s""";
CREATE TABLE "odd ""s"""."select" ("from" integer);
INSERT INTO "odd ""s"""."select" VALUES (3);
CREATE TABLE empty_table (id integer PRIMARY KEY, name varchar(10));
CREATE FUNCTION 财务.rate_of(p_id integer) RETURNS numeric
  LANGUAGE sql STABLE AS $$ SELECT 金额 FROM 财务.账目 WHERE 编号 = p_id $$;

-- Overloads, and functions returning one value with one and with two arguments.
CREATE FUNCTION f_over(p integer) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT p * 10 $$;
CREATE FUNCTION f_over(p text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT p || '!' $$;
CREATE FUNCTION f_date(d date) RETURNS date LANGUAGE sql IMMUTABLE AS $$ SELECT d + 1 $$;
CREATE FUNCTION f_sum(a integer, b integer) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT a + b $$;
CREATE FUNCTION 财务."税 ""率"""(p integer) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT p * 2 $$;

-- Puts back the rows the editing tests change, so the tests can run again and again.
CREATE PROCEDURE reset_edit_tables()
  LANGUAGE sql AS $$
    DELETE FROM nokey;
    INSERT INTO nokey VALUES (1, 'x'), (2, 'y'), (2, 'y');
    UPDATE guarded SET v = 10;
    UPDATE "odd ""name"" 表" SET "b c" = 'x';
  $$;

-- Orders the grid's delete test removes; a region still ordered cannot be deleted. The
-- test puts the rows back first, so it can run again and again.
CREATE TABLE grid_regions (name text PRIMARY KEY);
CREATE TABLE grid_orders (id integer PRIMARY KEY, region text NOT NULL REFERENCES grid_regions(name), amount numeric(10,2));
CREATE PROCEDURE reset_grid_orders()
  LANGUAGE sql AS $$
    DELETE FROM grid_orders;
    DELETE FROM grid_regions;
    INSERT INTO grid_regions VALUES ('华北'), ('华东'), ('西北');
    INSERT INTO grid_orders VALUES (1, '华北', 10), (2, '华北', 20), (3, '华东', 5);
  $$;

-- Exact values. Money with 16 and 38 digits, which no double holds; sums of them that
-- the server computes exactly.
CREATE TABLE exact_money (id integer PRIMARY KEY, grp text NOT NULL, amount numeric(18,2), wide numeric(38,10));
INSERT INTO exact_money
  SELECT n, 'g' || (n % 3), (n::numeric * n * n * 982451653) % 10000000000000000 / 100,
         n::numeric * 1234567890123456789.0123456789 / 1000
  FROM generate_series(1, 3000) AS n;
INSERT INTO exact_money VALUES
  (3001, 'g0', 99999999999999.99, 1234567890123456789.0123456789),
  (3002, 'g1', -99999999999999.99, -0.0000000001),
  (3003, 'g2', NULL, NULL);

-- The same rows as the SQLite file of the exactness tests: integers around 2^53 and at
-- the 64-bit edge, a join whose columns share names, zeros of both signs and nulls.
CREATE TABLE exact_bigs (id integer PRIMARY KEY, b bigint, grp text);
INSERT INTO exact_bigs VALUES (1, 9007199254740993, 'x'), (2, 9007199254740992, 'x'), (3, 9007199254740993, 'y'),
  (4, 9223372036854775807, 'y'), (5, 9223372036854775806, 'y'), (6, NULL, 'z'), (7, -9007199254740993, 'z');
CREATE TABLE exact_p (id integer PRIMARY KEY, name text);
CREATE TABLE exact_q (id integer PRIMARY KEY, p_id integer REFERENCES exact_p(id), name text);
INSERT INTO exact_p VALUES (1, '甲'), (2, '乙');
INSERT INTO exact_q VALUES (10, 1, 'q-a'), (20, 1, 'q-b'), (30, 2, 'q-c');
CREATE TABLE exact_floats (id integer PRIMARY KEY, z double precision, f double precision, day date, n integer,
  grp text);
INSERT INTO exact_floats VALUES (1, '-0', 0.3, NULL, NULL, 'a'), (2, 0, -0.1, '2024-05-01', NULL, 'a'),
  (3, 0, -0.2, '2023-02-28', 4, 'b'), (4, '-0', NULL, NULL, NULL, 'c');

-- Values longer than the driver declares: characters outside the Basic Multilingual Plane
-- at a column's declared length, an enum label with an emoji, bit strings.
CREATE TYPE edge_fetch_mood AS ENUM ('happy 😀', 'x');
CREATE TABLE edge_fetch_chars (id integer PRIMARY KEY, name varchar(3), mark char(1), mood edge_fetch_mood,
  bits bit(3), wide bit(10));
INSERT INTO edge_fetch_chars VALUES (1, '𠮷野家', '😀', 'happy 😀', B'101', B'1000000001'),
  (2, '野家𠮷', '甲', 'x', B'000', B'0000000000'), (3, NULL, NULL, NULL, NULL, NULL);

-- Reports that try to write: a table to keep as it is, and a function that changes data.
CREATE TABLE ro_rows (id integer PRIMARY KEY, name varchar(20));
INSERT INTO ro_rows VALUES (1, 'a'), (2, 'b'), (3, 'c');
CREATE TABLE ro_proc_rows (id integer PRIMARY KEY, name varchar(20));
CREATE FUNCTION ro_remove_last() RETURNS SETOF ro_proc_rows LANGUAGE sql AS
  'DELETE FROM ro_proc_rows WHERE id = (SELECT max(id) FROM ro_proc_rows) RETURNING *';
