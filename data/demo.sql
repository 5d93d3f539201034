-- Demo sales database of 报表生成器: built into demo.db when the program is built.
-- Table and column names are English so that SQL stays easy to type; the data is Chinese.
-- Every "random" choice is a fixed arithmetic of the row number, so each build gives
-- the same file.

BEGIN;

CREATE TABLE products (
  product_id   INTEGER PRIMARY KEY,
  product      VARCHAR(40) NOT NULL,
  category     VARCHAR(20) NOT NULL,
  unit_price   NUMERIC(10,2) NOT NULL,
  unit         VARCHAR(10) NOT NULL
);

INSERT INTO products VALUES
  (1,  '联想笔记本电脑', '电脑',   5899.00, '台'),
  (2,  '华为平板电脑',   '电脑',   2999.00, '台'),
  (3,  '戴尔显示器',     '电脑',   1299.00, '台'),
  (4,  '小米手机',       '手机',   1999.00, '部'),
  (5,  '华为手机',       '手机',   4599.00, '部'),
  (6,  'OPPO手机',       '手机',   2499.00, '部'),
  (7,  '格力空调',       '家电',   3299.00, '台'),
  (8,  '美的冰箱',       '家电',   2799.00, '台'),
  (9,  '海尔洗衣机',     '家电',   1899.00, '台'),
  (10, '九阳豆浆机',     '小家电',  399.00, '台'),
  (11, '苏泊尔电饭煲',   '小家电',  299.00, '个'),
  (12, '飞利浦电动牙刷', '小家电',  259.00, '支'),
  (13, '得力办公椅',     '办公用品', 459.00, '把'),
  (14, '晨光中性笔',     '办公用品',  19.90, '盒'),
  (15, '齐心文件柜',     '办公用品', 689.00, '个'),
  (16, '惠普打印机',     '办公用品', 1599.00, '台');

CREATE TABLE salespeople (
  salesperson_id INTEGER PRIMARY KEY,
  salesperson    VARCHAR(20) NOT NULL,
  region         VARCHAR(10) NOT NULL,
  city           VARCHAR(20) NOT NULL,
  hired          DATE NOT NULL
);

INSERT INTO salespeople VALUES
  (1,  '张伟',   '华北', '北京', '2015-03-02'),
  (2,  '王芳',   '华北', '天津', '2016-07-18'),
  (3,  '李娜',   '华北', '石家庄', '2019-11-04'),
  (4,  '刘洋',   '华东', '上海', '2014-05-12'),
  (5,  '陈静',   '华东', '杭州', '2017-09-01'),
  (6,  '杨磊',   '华东', '南京', '2018-02-26'),
  (7,  '赵敏',   '华东', '苏州', '2020-06-15'),
  (8,  '黄强',   '华南', '广州', '2013-08-19'),
  (9,  '周杰',   '华南', '深圳', '2016-04-11'),
  (10, '吴霞',   '华南', '厦门', '2021-03-08'),
  (11, '徐明',   '华中', '武汉', '2015-10-26'),
  (12, '孙丽',   '华中', '长沙', '2018-12-03'),
  (13, '马超',   '西南', '成都', '2017-01-16'),
  (14, '朱婷',   '西南', '重庆', '2019-05-20'),
  (15, '胡军',   '西北', '西安', '2016-09-05'),
  (16, '郭涛',   '东北', '沈阳', '2014-11-24'),
  (17, '林峰',   '东北', '哈尔滨', '2020-08-31');

CREATE TABLE sales (
  order_id      INTEGER PRIMARY KEY,
  order_date    DATE NOT NULL,
  region        VARCHAR(10) NOT NULL,
  city          VARCHAR(20) NOT NULL,
  salesperson   VARCHAR(20) NOT NULL,
  product       VARCHAR(40) NOT NULL,
  category      VARCHAR(20) NOT NULL,
  quantity      INTEGER NOT NULL,
  unit_price    NUMERIC(10,2) NOT NULL,
  discount      REAL,
  amount        NUMERIC(12,2) NOT NULL,
  paid          BOOLEAN NOT NULL,
  remark        VARCHAR(60)
);

-- 6,000 orders over 2023 and 2024. A linear congruential sequence gives each order its
-- seed; salesperson, product, quantity, discount and remark are drawn from that seed.
WITH RECURSIVE seq(n, seed) AS (
  SELECT 1, 20240601
  UNION ALL
  SELECT n + 1, (seed * 1103515245 + 12345) % 2147483648 FROM seq WHERE n < 6000
),
draw AS (
  SELECT n,
         1 + (seed / 7) % 17                     AS sp,
         1 + (seed / 131) % 16                   AS pr,
         1 + (seed / 2311) % 20                  AS qty,
         (seed / 40009) % 10                     AS dsc,
         (seed / 65537) % 25                     AS rmk,
         (n - 1) * 731 / 6000                    AS dayno
  FROM seq
)
INSERT INTO sales
SELECT d.n,
       date('2023-01-01', '+' || d.dayno || ' days'),
       s.region, s.city, s.salesperson,
       p.product, p.category,
       CASE WHEN p.unit_price > 3000 THEN 1 + d.qty % 5 ELSE d.qty END,
       p.unit_price,
       CASE d.dsc WHEN 0 THEN 0.05 WHEN 1 THEN 0.1 WHEN 2 THEN 0.15 ELSE NULL END,
       round((CASE WHEN p.unit_price > 3000 THEN 1 + d.qty % 5 ELSE d.qty END) * p.unit_price
             * (1 - CASE d.dsc WHEN 0 THEN 0.05 WHEN 1 THEN 0.1 WHEN 2 THEN 0.15 ELSE 0 END), 2),
       (d.n % 9) <> 0,
       CASE d.rmk WHEN 0 THEN '加急发货' WHEN 1 THEN '客户要求开增值税发票' WHEN 2 THEN '分期付款'
                  WHEN 3 THEN '老客户回购' WHEN 4 THEN '需送货上门' ELSE NULL END
FROM draw d
JOIN salespeople s ON s.salesperson_id = d.sp
JOIN products p ON p.product_id = d.pr;

CREATE INDEX sales_date ON sales(order_date);

CREATE VIEW v_region_sales AS
SELECT region, category,
       count(*)                 AS orders,
       sum(quantity)            AS quantity,
       round(sum(amount), 2)    AS amount
FROM sales
GROUP BY region, category;

CREATE VIEW v_monthly_sales AS
SELECT substr(order_date, 1, 7) AS month, region, round(sum(amount), 2) AS amount
FROM sales
GROUP BY substr(order_date, 1, 7), region;

COMMIT;
