-- Schema of the private MariaDB test server (scripts/testdb.sh loads it into rgtest).

CREATE TABLE sales (
  id      INT PRIMARY KEY,
  region  VARCHAR(20) NOT NULL,
  amount  DECIMAL(12,2),
  big     BIGINT,
  day     DATE,
  paid    BIT(1),
  note    TEXT
);

-- A BIT false right after a NULL in the same fetch block.
INSERT INTO sales VALUES
  (1, '华北', 7.50, 5000000000, '2024-01-31', b'1', NULL),
  (2, '华东', 6.25, NULL, '2024-02-29', NULL, '加急'),
  (3, '华南', 0, 1, NULL, b'0', ''),
  (4, '西北', 99999999.99, -1, '2024-03-01', b'1', 'x');

CREATE TABLE empty_table (id INT PRIMARY KEY, name VARCHAR(10));

CREATE TABLE `odd ``name`` 表` (a INT PRIMARY KEY, `b c` TEXT);
INSERT INTO `odd ``name`` 表` VALUES (7, 'x');

-- Reserved words as names.
CREATE TABLE `select` (`order` INT PRIMARY KEY, `from` VARCHAR(10));
INSERT INTO `select` VALUES (1, '甲');

CREATE TABLE `销售 明细` (编号 INT PRIMARY KEY, 地区 VARCHAR(10));
INSERT INTO `销售 明细` VALUES (1, '华北');

CREATE VIEW v_sales AS SELECT region, amount FROM sales;

-- Another database the suite's user may read: listed as rgother.name.
CREATE TABLE rgother.accounts (id INT PRIMARY KEY, title VARCHAR(20));
INSERT INTO rgother.accounts VALUES (1, '现金'), (2, '银行存款');
CREATE TABLE rgother.sales (id INT PRIMARY KEY);
INSERT INTO rgother.sales VALUES (42);

DELIMITER //

-- Every direction and a result set before the output values.
CREATE PROCEDURE region_report(IN p_region VARCHAR(20), INOUT p_count INT, OUT p_label VARCHAR(40))
BEGIN
  SELECT id, region, amount FROM sales WHERE region = p_region ORDER BY id;
  SET p_count = p_count + (SELECT COUNT(*) FROM sales WHERE region = p_region);
  SET p_label = CONCAT('地区：', p_region);
END //

CREATE PROCEDURE label_of(IN p_id INT, OUT p_label VARCHAR(40), OUT p_amount DECIMAL(12,2))
BEGIN
  SELECT CONCAT(region, '·', id), amount INTO p_label, p_amount FROM sales WHERE id = p_id;
END //

CREATE PROCEDURE greet(INOUT p_name VARCHAR(40))
BEGIN
  SET p_name = CONCAT(p_name, '，你好');
END //

CREATE FUNCTION with_tax(p_amount DECIMAL(12,2), p_rate DECIMAL(5,2)) RETURNS DECIMAL(12,2)
  DETERMINISTIC RETURN p_amount * (1 + p_rate) //

CREATE PROCEDURE rgother.other_proc(IN p INT)
BEGIN
  SELECT p * 2 AS doubled;
END //

DELIMITER ;

-- Values longer than the driver declares: characters outside the Basic Multilingual Plane
-- at a column's declared length, an enum label with an emoji, BIT(n).
CREATE TABLE edge_fetch_chars (id INT PRIMARY KEY, name VARCHAR(3), mark CHAR(1), mood ENUM('happy 😀', 'x'),
  bits BIT(3), wide BIT(10)) CHARACTER SET utf8mb4;
INSERT INTO edge_fetch_chars VALUES (1, '𠮷野家', '😀', 'happy 😀', b'101', b'1000000001'),
  (2, '野家𠮷', '甲', 'x', b'000', b'0000000000'), (3, NULL, NULL, NULL, NULL, NULL);

-- Twenty one-character columns, each holding an emoji, over several fetch blocks.
CREATE TABLE edge_fetch_marks (id INT PRIMARY KEY, c1 CHAR(1), c2 CHAR(1), c3 CHAR(1), c4 CHAR(1), c5 CHAR(1),
  c6 CHAR(1), c7 CHAR(1), c8 CHAR(1), c9 CHAR(1), c10 CHAR(1), c11 CHAR(1), c12 CHAR(1), c13 CHAR(1), c14 CHAR(1),
  c15 CHAR(1), c16 CHAR(1), c17 CHAR(1), c18 CHAR(1), c19 CHAR(1), c20 CHAR(1)) CHARACTER SET utf8mb4;
INSERT INTO edge_fetch_marks SELECT seq, '😀', '𠮷', '😀', '𠮷', '😀', '𠮷', '😀', '𠮷', '😀', '𠮷', '😀', '𠮷', '😀', '𠮷',
  '😀', '𠮷', '😀', '𠮷', '😀', IF(seq % 2 = 0, '甲', '😀') FROM seq_1_to_3000;

DELIMITER //

-- Output values only, and a procedure with three results.
CREATE PROCEDURE edge_fetch_outputs(IN p_id INT, OUT p_name VARCHAR(3), INOUT p_count INT)
BEGIN
  SELECT name INTO p_name FROM edge_fetch_chars WHERE id = p_id;
  SET p_count = p_count + 1;
END //

CREATE PROCEDURE edge_fetch_three()
BEGIN
  SELECT id, name FROM edge_fetch_chars ORDER BY id;
  SELECT 2 AS two;
  SELECT 3 AS three;
END //

DELIMITER ;

-- Reports that try to write: a table to keep as it is.
CREATE TABLE ro_rows (id integer PRIMARY KEY, name varchar(20));
INSERT INTO ro_rows VALUES (1, 'a'), (2, 'b'), (3, 'c');
