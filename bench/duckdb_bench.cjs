// The grid benchmark's table and operations in DuckDB, as the peer of the cores section:
// "name: seconds" lines, best of three. Usage: node duckdb_bench.cjs ROWS (with NODE_PATH
// at the node_modules that bench/duckdb_install.sh filled).
const { DuckDBInstance } = require('@duckdb/node-api');

const rows = Number(process.argv[2] || 1000000);

const table = `create table bench as select n as id,
  case n % 7 when 0 then '华北' when 1 then '华东' when 2 then '华南' when 3 then '华中'
             when 4 then '西南' when 5 then '西北' else '东北' end as region,
  '产品' || (n * 37 % 500) as product, n * 13 % 97 as qty,
  (n * 7919 % 100000) / 100.0 as price,
  (n * 13 % 97) * ((n * 7919 % 100000) / 100.0) as amount,
  date '2020-01-01' + cast(n % 1800 as integer) as day,
  case when n % 5 = 0 then null else '备注 ' || n end as note
  from range(1, ${rows} + 1) t(n)`;

const footers = 'sum(qty), sum(amount), count(id), avg(price)';
const operations = {
  two_levels: `select region, product, ${footers} from bench
    group by grouping sets ((region, product), (region), ())`,
  cross_50x36: `select 'g' || (id % 50) as grp, 'm' || (id % 36) as mon, sum(amount) from bench
    group by grouping sets ((grp, mon), (grp), (mon), ())`,
  by_month: `select date_trunc('month', day) as m, ${footers} from bench
    group by grouping sets ((m), ())`,
  filter_one_region: `select region, product, ${footers} from bench where region = '华东'
    group by grouping sets ((region, product), (region), ())`,
};

async function main() {
  const instance = await DuckDBInstance.create(':memory:');
  const con = await instance.connect();
  await con.run(table);
  const threads = await con.runAndReadAll("select current_setting('threads')");
  console.log(`duckdb_threads: ${threads.getRows()[0][0]}`);
  for (const [name, sql] of Object.entries(operations)) {
    let best = Infinity;
    for (let i = 0; i < 3; ++i) {
      const start = process.hrtime.bigint();
      const result = await con.runAndReadAll(sql);
      result.getRows();
      best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
    }
    console.log(`duckdb_${name}_s: ${best}`);
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
