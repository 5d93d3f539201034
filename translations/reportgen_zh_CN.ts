<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>rg::ConnHelp</name>
    <message>
        <source>&lt;h3&gt;Connection strings&lt;/h3&gt;
&lt;p&gt;A connection string is a list of &lt;i&gt;key=value&lt;/i&gt; pairs separated by semicolons.
A value holding a semicolon is written in braces: &lt;tt&gt;Pwd={a;b}&lt;/tt&gt;.&lt;/p&gt;
&lt;h4&gt;Built-in SQLite provider&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;Provider=SQLite;Data Source=/home/me/sales.db&lt;/tt&gt;&lt;br&gt;
A relative path starts in the folder of the program.&lt;/p&gt;
&lt;h4&gt;ODBC drivers&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;Driver={SQLite3};Database=/home/me/sales.db&lt;/tt&gt;&lt;br&gt;
&lt;tt&gt;Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Database=sales;Uid=me;Pwd=secret&lt;/tt&gt;&lt;br&gt;
The installed drivers are listed by &lt;tt&gt;odbcinst -q -d&lt;/tt&gt;.&lt;/p&gt;
&lt;h4&gt;ODBC data source names&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;DSN=sales;Uid=me;Pwd=secret&lt;/tt&gt;&lt;br&gt;
Data source names are defined in &lt;tt&gt;~/.odbc.ini&lt;/tt&gt; or &lt;tt&gt;/etc/odbc.ini&lt;/tt&gt;.&lt;/p&gt;
&lt;h4&gt;Data link files&lt;/h4&gt;
&lt;p&gt;A data link file (&lt;tt&gt;.udl&lt;/tt&gt;) holds one connection string. Choose
&lt;b&gt;Use Data Link File&lt;/b&gt; to name one; the string then reads
&lt;tt&gt;FILE NAME=/path/to/file.udl&lt;/tt&gt;. Files in the data link folder
(&lt;tt&gt;~/.local/share/reportgen/Data Links&lt;/tt&gt;) are listed by their bare names.&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Build...&lt;/b&gt; opens the connection properties, where the provider and its
settings are chosen and the connection can be tested.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;连接字符串&lt;/h3&gt;
&lt;p&gt;连接字符串是一串以分号分隔的 &lt;i&gt;键=值&lt;/i&gt; 对。值中含有分号时写在花括号里：&lt;tt&gt;Pwd={a;b}&lt;/tt&gt;。&lt;/p&gt;
&lt;h4&gt;内置 SQLite 提供程序&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;Provider=SQLite;Data Source=/home/me/sales.db&lt;/tt&gt;&lt;br&gt;
相对路径从程序所在的文件夹算起。&lt;/p&gt;
&lt;h4&gt;ODBC 驱动程序&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;Driver={SQLite3};Database=/home/me/sales.db&lt;/tt&gt;&lt;br&gt;
&lt;tt&gt;Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Database=sales;Uid=me;Pwd=secret&lt;/tt&gt;&lt;br&gt;
已安装的驱动程序可用 &lt;tt&gt;odbcinst -q -d&lt;/tt&gt; 列出。&lt;/p&gt;
&lt;h4&gt;ODBC 数据源名&lt;/h4&gt;
&lt;p&gt;&lt;tt&gt;DSN=sales;Uid=me;Pwd=secret&lt;/tt&gt;&lt;br&gt;
数据源名定义在 &lt;tt&gt;~/.odbc.ini&lt;/tt&gt; 或 &lt;tt&gt;/etc/odbc.ini&lt;/tt&gt; 中。&lt;/p&gt;
&lt;h4&gt;数据链接文件&lt;/h4&gt;
&lt;p&gt;数据链接文件（&lt;tt&gt;.udl&lt;/tt&gt;）保存一个连接字符串。选择
&lt;b&gt;Use Data Link File&lt;/b&gt; 指定文件后，连接字符串为
&lt;tt&gt;FILE NAME=/path/to/file.udl&lt;/tt&gt;。数据链接文件夹
（&lt;tt&gt;~/.local/share/reportgen/Data Links&lt;/tt&gt;）中的文件只列出文件名。&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Build...&lt;/b&gt; 打开连接属性，在那里选择提供程序及其设置，并可测试连接。&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;CommandText Editor&lt;/h3&gt;
&lt;p&gt;The editor composes the SQL text of the report. It does not run it: the data source
dialog runs the text when you close the editor with &lt;b&gt;OK&lt;/b&gt;; &lt;b&gt;Cancel&lt;/b&gt; leaves the
data source dialog&apos;s text as it was.&lt;/p&gt;
&lt;h4&gt;Tables and fields&lt;/h4&gt;
&lt;p&gt;&lt;b&gt;Tables&lt;/b&gt; lists the tables and views of the connected database, &lt;b&gt;Fields&lt;/b&gt; the
columns of the selected table, headed by &lt;tt&gt;*&lt;/tt&gt; for all of them. Select several
fields with Ctrl or Shift.&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Add Table to SQL&lt;/b&gt; (or a double click on a table) starts an empty text as
&lt;tt&gt;select&amp;nbsp;&amp;nbsp;from &lt;i&gt;table&lt;/i&gt;&lt;/tt&gt; with the caret after &lt;tt&gt;select&lt;/tt&gt;, so that
fields can follow; in a text beginning with &lt;tt&gt;select&lt;/tt&gt; it adds
&lt;tt&gt;from &lt;i&gt;table&lt;/i&gt;&lt;/tt&gt; at the caret, anywhere else the bare table name.&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Add Field to SQL&lt;/b&gt; (or a double click on a field) inserts the selected fields
at the caret, separated by commas.&lt;/p&gt;
&lt;p&gt;Names are inserted as listed, without quotes: a name holding blanks or other special
characters needs the quotes of your database, such as &lt;tt&gt;&quot;order lines&quot;&lt;/tt&gt;.&lt;/p&gt;
&lt;p&gt;The red mark under the text shows where the next name goes in; it disappears when
you click into the text.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;CommandText Editor&lt;/h3&gt;
&lt;p&gt;编辑器用来编写报表的 SQL 文本，但不执行它：用 &lt;b&gt;OK&lt;/b&gt; 关闭编辑器时由数据源对话框执行该文本；
&lt;b&gt;Cancel&lt;/b&gt; 则保持数据源对话框中原来的文本。&lt;/p&gt;
&lt;h4&gt;表和字段&lt;/h4&gt;
&lt;p&gt;&lt;b&gt;Tables&lt;/b&gt; 列出所连接数据库的表和视图，&lt;b&gt;Fields&lt;/b&gt; 列出所选表的列，第一项 &lt;tt&gt;*&lt;/tt&gt; 表示全部列。
按住 Ctrl 或 Shift 可选择多个字段。&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Add Table to SQL&lt;/b&gt;（或双击表名）把空文本写成
&lt;tt&gt;select&amp;nbsp;&amp;nbsp;from &lt;i&gt;表名&lt;/i&gt;&lt;/tt&gt;，光标停在 &lt;tt&gt;select&lt;/tt&gt; 之后以便接着添加字段；
文本以 &lt;tt&gt;select&lt;/tt&gt; 开头时在光标处添加 &lt;tt&gt;from &lt;i&gt;表名&lt;/i&gt;&lt;/tt&gt;，否则只插入表名。&lt;/p&gt;
&lt;p&gt;&lt;b&gt;Add Field to SQL&lt;/b&gt;（或双击字段）在光标处插入所选字段，以逗号分隔。&lt;/p&gt;
&lt;p&gt;名称按列出的样子插入，不加引号：含有空格或其他特殊字符的名称需要加上数据库自己的引号，例如 &lt;tt&gt;&quot;order lines&quot;&lt;/tt&gt;。&lt;/p&gt;
&lt;p&gt;文本下方的红色标记指示下一个名称插入的位置；在文本中单击后标记消失。&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Connection String Help</source>
        <translation>连接字符串帮助</translation>
    </message>
    <message>
        <source>CommandText Editor Help</source>
        <translation>CommandText Editor 帮助</translation>
    </message>
</context>
<context>
    <name>rg::GroupChartView</name>
    <message>
        <source>保存为 PNG…</source>
        <translation>保存为 PNG…</translation>
    </message>
    <message>
        <source>保存为 SVG…</source>
        <translation>保存为 SVG…</translation>
    </message>
    <message>
        <source>保存为 SVG</source>
        <translation>保存为 SVG</translation>
    </message>
    <message>
        <source>保存为 PNG</source>
        <translation>保存为 PNG</translation>
    </message>
</context>
<context>
    <name>rg::PasswordDialogs</name>
    <message>
        <source>（用户 %1）</source>
        <translation>（用户 %1）</translation>
    </message>
    <message>
        <source>输入密码</source>
        <translation>输入密码</translation>
    </message>
    <message>
        <source>打开报表“%1”需要连接 %2 的密码：</source>
        <translation>打开报表“%1”需要连接 %2 的密码：</translation>
    </message>
    <message>
        <source>
（密钥库中没有：%1）</source>
        <translation>
（密钥库中没有：%1）</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>保存密码</source>
        <translation>保存密码</translation>
    </message>
    <message>
        <source>没有可用的密钥库，连接的密码不能存入：%1
以后打开这个报表时询问密码，还是把密码保存在设置文件中（只有你能读取这个文件）？</source>
        <translation>没有可用的密钥库，连接的密码不能存入：%1
以后打开这个报表时询问密码，还是把密码保存在设置文件中（只有你能读取这个文件）？</translation>
    </message>
    <message>
        <source>打开时询问</source>
        <translation>打开时询问</translation>
    </message>
    <message>
        <source>保存在设置文件中</source>
        <translation>保存在设置文件中</translation>
    </message>
</context>
<context>
    <name>rg::TConnEditForm</name>
    <message>
        <source>Shown as ODBC; saved as given (%1)</source>
        <translation>按 ODBC 显示；保存时保持原样（%1）</translation>
    </message>
    <message>
        <source> Source of Connection </source>
        <translation> 连接来源 </translation>
    </message>
    <message>
        <source>Use Data &amp;Link File</source>
        <translation>使用数据链接文件(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Use &amp;Connection String</source>
        <translation>使用连接字符串(&amp;C)</translation>
    </message>
    <message>
        <source>B&amp;uild...</source>
        <translation>编辑(&amp;U)...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>%1.%2 ConnectionString</source>
        <translation>%1.%2 连接字符串</translation>
    </message>
</context>
<context>
    <name>rg::TConnPropertiesDialog</name>
    <message>
        <source>Connection Properties</source>
        <translation>连接属性</translation>
    </message>
    <message>
        <source>SQLite (built-in provider)</source>
        <translation>SQLite（内置提供程序）</translation>
    </message>
    <message>
        <source>ODBC driver: %1</source>
        <translation>ODBC 驱动程序：%1</translation>
    </message>
    <message>
        <source>ODBC data source: %1 (%2)</source>
        <translation>ODBC 数据源：%1（%2）</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>&amp;Provider:</source>
        <translation>提供程序(&amp;P)：</translation>
    </message>
    <message>
        <source>Database &amp;file:</source>
        <translation>数据库文件(&amp;F)：</translation>
    </message>
    <message>
        <source>&amp;Server:</source>
        <translation>服务器(&amp;S)：</translation>
    </message>
    <message>
        <source>P&amp;ort:</source>
        <translation>端口(&amp;O)：</translation>
    </message>
    <message>
        <source>&amp;Database:</source>
        <translation>数据库(&amp;D)：</translation>
    </message>
    <message>
        <source>User &amp;name:</source>
        <translation>用户名(&amp;N)：</translation>
    </message>
    <message>
        <source>Pass&amp;word:</source>
        <translation>密码(&amp;W)：</translation>
    </message>
    <message>
        <source>Other &amp;attributes:</source>
        <translation>其他属性(&amp;A)：</translation>
    </message>
    <message>
        <source>&amp;Query timeout:</source>
        <translation>查询超时(&amp;Q)：</translation>
    </message>
    <message>
        <source>&amp;Test Connection</source>
        <translation>测试连接(&amp;T)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>ODBC data source: %1</source>
        <translation>ODBC 数据源：%1</translation>
    </message>
    <message>
        <source>Test connection succeeded.</source>
        <translation>测试连接成功。</translation>
    </message>
    <message>
        <source>Select Database File</source>
        <translation>选择数据库文件</translation>
    </message>
    <message>
        <source>SQLite databases (*.db *.sqlite *.sqlite3 *.db3)</source>
        <translation>SQLite 数据库 (*.db *.sqlite *.sqlite3 *.db3)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>Select Data Link File</source>
        <translation>选择数据链接文件</translation>
    </message>
    <message>
        <source>Microsoft Data Link (*.udl)</source>
        <translation>Microsoft 数据链接 (*.udl)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>rg::TCustomFilterDialog</name>
    <message>
        <source>equals</source>
        <translation>等于</translation>
    </message>
    <message>
        <source>does not equal</source>
        <translation>不等于</translation>
    </message>
    <message>
        <source>is less than</source>
        <translation>小于</translation>
    </message>
    <message>
        <source>is less than or equal to</source>
        <translation>小于或等于</translation>
    </message>
    <message>
        <source>is greater than</source>
        <translation>大于</translation>
    </message>
    <message>
        <source>is greater than or equal to</source>
        <translation>大于或等于</translation>
    </message>
    <message>
        <source>is like</source>
        <translation>匹配</translation>
    </message>
    <message>
        <source>is not like</source>
        <translation>不匹配</translation>
    </message>
    <message>
        <source>is blank</source>
        <translation>为空</translation>
    </message>
    <message>
        <source>is not blank</source>
        <translation>不为空</translation>
    </message>
    <message>
        <source>Custom Filter</source>
        <translation>自定义筛选</translation>
    </message>
    <message>
        <source>Show rows where:</source>
        <translation>显示满足以下条件的行：</translation>
    </message>
    <message>
        <source>&amp;And</source>
        <translation>并且(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Or</source>
        <translation>或者(&amp;O)</translation>
    </message>
    <message>
        <source>Use _ to represent any single character
Use % to represent any series of characters</source>
        <translation>用 _ 代表任意单个字符
用 % 代表任意一串字符</translation>
    </message>
</context>
<context>
    <name>rg::TFRMDBSETUP</name>
    <message>
        <source>运行 SQL（F5 或 Ctrl+Enter）</source>
        <translation>运行 SQL（F5 或 Ctrl+Enter）</translation>
    </message>
    <message>
        <source>%1 列，行留在服务器上</source>
        <translation>%1 列，行留在服务器上</translation>
    </message>
    <message>
        <source>%1 行，%2 列</source>
        <translation>%1 行，%2 列</translation>
    </message>
    <message>
        <source>数据源设置</source>
        <translation>数据源设置</translation>
    </message>
    <message>
        <source>连接语句</source>
        <translation>连接语句</translation>
    </message>
    <message>
        <source>运行</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>字段显示设置</source>
        <translation>字段显示设置</translation>
    </message>
    <message>
        <source>在服务器上汇总</source>
        <translation>在服务器上汇总</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>数据表</source>
        <translation>数据表</translation>
    </message>
    <message>
        <source>存储过程</source>
        <translation>存储过程</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>报表只读数据库。勾选后存储过程可以修改数据库；别人的设置文件打开前会先问你。</source>
        <translation>报表只读数据库。勾选后存储过程可以修改数据库；别人的设置文件打开前会先问你。</translation>
    </message>
</context>
<context>
    <name>rg::TOKBottomDlg</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>rg::TOKHelpBottomDlg</name>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>              请大家多提意见！！！！</source>
        <translation>              请大家多提意见！！！！</translation>
    </message>
    <message>
        <source>作者：报表生成器开发组</source>
        <translation>作者：报表生成器开发组</translation>
    </message>
</context>
<context>
    <name>rg::TParameterPrompt</name>
    <message>
        <source>报表参数</source>
        <translation>报表参数</translation>
    </message>
    <message>
        <source>日期预设按此日计算</source>
        <translation>日期预设按此日计算</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>rg::TParameterTable</name>
    <message>
        <source>参数</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>默认值</source>
        <translation>默认值</translation>
    </message>
    <message>
        <source>区间终点</source>
        <translation>区间终点</translation>
    </message>
    <message>
        <source>列表值或查询</source>
        <translation>列表值或查询</translation>
    </message>
    <message>
        <source>默认值可以是值，也可以是 @ 加日期预设，如 @上月初；区间的起点写终点参数的名称，默认值可以是期间，如 @上月</source>
        <translation>默认值可以是值，也可以是 @ 加日期预设，如 @上月初；区间的起点写终点参数的名称，默认值可以是期间，如 @上月</translation>
    </message>
</context>
<context>
    <name>rg::TProgressWindow</name>
    <message>
        <source>报表生成器</source>
        <translation>报表生成器</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>rg::TSQLEditForm</name>
    <message>
        <source>CommandText Editor</source>
        <translation>SQL 编辑器</translation>
    </message>
    <message>
        <source>&amp;Tables:</source>
        <translation>数据表(&amp;T)：</translation>
    </message>
    <message>
        <source>&amp;SQL:</source>
        <translation>SQL(&amp;S)：</translation>
    </message>
    <message>
        <source>Add T&amp;able to SQL</source>
        <translation>将表加入 SQL(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Fields:</source>
        <translation>字段(&amp;F)：</translation>
    </message>
    <message>
        <source>Add F&amp;ield to SQL</source>
        <translation>将字段加入 SQL(&amp;I)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
</context>
<context>
    <name>rg::TdxCrossTableDialog</name>
    <message>
        <source>交叉表</source>
        <translation>交叉表</translation>
    </message>
    <message>
        <source>汇总方式</source>
        <translation>汇总方式</translation>
    </message>
    <message>
        <source>汇总字段</source>
        <translation>汇总字段</translation>
    </message>
    <message>
        <source>交叉列</source>
        <translation>交叉列</translation>
    </message>
</context>
<context>
    <name>rg::TdxDBGridView</name>
    <message>
        <source> Drag a column header here to group by that column</source>
        <translation> 把列标题拖到这里，按该列分组</translation>
    </message>
    <message>
        <source>True</source>
        <translation>是</translation>
    </message>
    <message>
        <source>False</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Delete record?</source>
        <translation>删除记录？</translation>
    </message>
    <message>
        <source>大写金额</source>
        <translation>大写金额</translation>
    </message>
    <message>
        <source>：按</source>
        <translation>：按</translation>
    </message>
    <message>
        <source>拖动列标题到这里作为交叉列</source>
        <translation>拖动列标题到这里作为交叉列</translation>
    </message>
    <message>
        <source>按区间分组</source>
        <translation>按区间分组</translation>
    </message>
    <message>
        <source>区间宽度：</source>
        <translation>区间宽度：</translation>
    </message>
</context>
<context>
    <name>rg::TdxFilterDropDown</name>
    <message>
        <source>(All)</source>
        <translation>（全部）</translation>
    </message>
    <message>
        <source>(Custom...)</source>
        <translation>（自定义...）</translation>
    </message>
    <message>
        <source>(Blanks)</source>
        <translation>（空白）</translation>
    </message>
    <message>
        <source>(NonBlanks)</source>
        <translation>（非空白）</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>全选</translation>
    </message>
</context>
<context>
    <name>rg::TdxFindBar</name>
    <message>
        <source>Find:</source>
        <translation>查找：</translation>
    </message>
    <message>
        <source>Match case</source>
        <translation>区分大小写</translation>
    </message>
    <message>
        <source>Whole cell</source>
        <translation>整个单元格</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>上一个 (Shift+F3)</translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation>下一个 (F3)</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>关闭 (Esc)</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>找不到</translation>
    </message>
</context>
<context>
    <name>rg::TdxPageSetupDialog</name>
    <message>
        <source>[Page #]</source>
        <translation>[页码]</translation>
    </message>
    <message>
        <source>[Total Pages]</source>
        <translation>[总页数]</translation>
    </message>
    <message>
        <source>[Date Printed]</source>
        <translation>[打印日期]</translation>
    </message>
    <message>
        <source>[Time Printed]</source>
        <translation>[打印时间]</translation>
    </message>
    <message>
        <source>页面设置</source>
        <translation>页面设置</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>页面</translation>
    </message>
    <message>
        <source>页眉页脚</source>
        <translation>页眉页脚</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>打印预览...</source>
        <translation>打印预览...</translation>
    </message>
    <message>
        <source>打印...</source>
        <translation>打印...</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>纸张</source>
        <translation>纸张</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>纸张类型:</source>
        <translation>纸张类型:</translation>
    </message>
    <message>
        <source>宽度:</source>
        <translation>宽度:</translation>
    </message>
    <message>
        <source>高度:</source>
        <translation>高度:</translation>
    </message>
    <message>
        <source>纵向</source>
        <translation>纵向</translation>
    </message>
    <message>
        <source>横向</source>
        <translation>横向</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>页边距</source>
        <translation>页边距</translation>
    </message>
    <message>
        <source>上:</source>
        <translation>上:</translation>
    </message>
    <message>
        <source>下:</source>
        <translation>下:</translation>
    </message>
    <message>
        <source>左:</source>
        <translation>左:</translation>
    </message>
    <message>
        <source>右:</source>
        <translation>右:</translation>
    </message>
    <message>
        <source>页眉:</source>
        <translation>页眉:</translation>
    </message>
    <message>
        <source>页脚:</source>
        <translation>页脚:</translation>
    </message>
    <message>
        <source>先行后列</source>
        <translation>先行后列</translation>
    </message>
    <message>
        <source>先列后行</source>
        <translation>先列后行</translation>
    </message>
    <message>
        <source>打印顺序</source>
        <translation>打印顺序</translation>
    </message>
    <message>
        <source>水平居中</source>
        <translation>水平居中</translation>
    </message>
    <message>
        <source>垂直居中</source>
        <translation>垂直居中</translation>
    </message>
    <message>
        <source>灰度打印</source>
        <translation>灰度打印</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>页眉字体...</source>
        <translation>页眉字体...</translation>
    </message>
    <message>
        <source>页脚字体...</source>
        <translation>页脚字体...</translation>
    </message>
    <message>
        <source>左</source>
        <translation>左</translation>
    </message>
    <message>
        <source>中</source>
        <translation>中</translation>
    </message>
    <message>
        <source>右</source>
        <translation>右</translation>
    </message>
    <message>
        <source>可用: </source>
        <translation>可用: </translation>
    </message>
    <message>
        <source>缩放比例:</source>
        <translation>缩放比例:</translation>
    </message>
    <message>
        <source>调整为:</source>
        <translation>调整为:</translation>
    </message>
    <message>
        <source>页宽</source>
        <translation>页宽</translation>
    </message>
    <message>
        <source>页高</source>
        <translation>页高</translation>
    </message>
    <message>
        <source>字体</source>
        <translation>字体</translation>
    </message>
</context>
<context>
    <name>rg::TdxPreviewWindow</name>
    <message>
        <source>打印预览</source>
        <translation>打印预览</translation>
    </message>
    <message>
        <source>打印...</source>
        <translation>打印...</translation>
    </message>
    <message>
        <source>页面设置...</source>
        <translation>页面设置...</translation>
    </message>
    <message>
        <source>报表设计...</source>
        <translation>报表设计...</translation>
    </message>
    <message>
        <source>首页</source>
        <translation>首页</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>末页</source>
        <translation>末页</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>页宽</source>
        <translation>页宽</translation>
    </message>
    <message>
        <source>整页</source>
        <translation>整页</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source> / %1 页 </source>
        <translation> / %1 页 </translation>
    </message>
</context>
<context>
    <name>rg::TdxReportDesigner</name>
    <message>
        <source>tlpoBands</source>
        <translation>带区</translation>
    </message>
    <message>
        <source>tlpoHeaders</source>
        <translation>列标题</translation>
    </message>
    <message>
        <source>tlpoFooters</source>
        <translation>汇总页脚</translation>
    </message>
    <message>
        <source>tlpoRowFooters</source>
        <translation>分组页脚</translation>
    </message>
    <message>
        <source>tlpoPreview</source>
        <translation>预览文本</translation>
    </message>
    <message>
        <source>tlpoPreviewGrid</source>
        <translation>预览文本网格线</translation>
    </message>
    <message>
        <source>tlpoGrid</source>
        <translation>网格线</translation>
    </message>
    <message>
        <source>tlpoFlatCheckMarks</source>
        <translation>平面复选框</translation>
    </message>
    <message>
        <source>tlpoImages</source>
        <translation>图像</translation>
    </message>
    <message>
        <source>tlpoStateImages</source>
        <translation>状态图像</translation>
    </message>
    <message>
        <source>tlpoSoft3D</source>
        <translation>柔和立体</translation>
    </message>
    <message>
        <source>tlpoRowFooterGrid</source>
        <translation>分组页脚网格线</translation>
    </message>
    <message>
        <source>tlpoTransparentColumnGraphic</source>
        <translation>透明图形</translation>
    </message>
    <message>
        <source>tlpoGraphicAsText</source>
        <translation>图形显示为文本</translation>
    </message>
    <message>
        <source>tlpo3DEffects</source>
        <translation>立体效果</translation>
    </message>
    <message>
        <source>tlpoCheckMarksAsText</source>
        <translation>复选框显示为文本</translation>
    </message>
    <message>
        <source>tlpoTreeLines</source>
        <translation>树线</translation>
    </message>
    <message>
        <source>tlpoExpandButtons</source>
        <translation>展开按钮</translation>
    </message>
    <message>
        <source>带区</source>
        <translation>带区</translation>
    </message>
    <message>
        <source>列标题</source>
        <translation>列标题</translation>
    </message>
    <message>
        <source>分组行</source>
        <translation>分组行</translation>
    </message>
    <message>
        <source>分组页脚</source>
        <translation>分组页脚</translation>
    </message>
    <message>
        <source>网格线</source>
        <translation>网格线</translation>
    </message>
    <message>
        <source>单元格</source>
        <translation>单元格</translation>
    </message>
    <message>
        <source>偶数行</source>
        <translation>偶数行</translation>
    </message>
    <message>
        <source>奇数行</source>
        <translation>奇数行</translation>
    </message>
    <message>
        <source>预览文本</source>
        <translation>预览文本</translation>
    </message>
    <message>
        <source>树线</source>
        <translation>树线</translation>
    </message>
    <message>
        <source>报表标题</source>
        <translation>报表标题</translation>
    </message>
    <message>
        <source>汇总页脚</source>
        <translation>汇总页脚</translation>
    </message>
    <message>
        <source>每页打印带区</source>
        <translation>每页打印带区</translation>
    </message>
    <message>
        <source>每页打印列标题</source>
        <translation>每页打印列标题</translation>
    </message>
    <message>
        <source>每页打印汇总页脚</source>
        <translation>每页打印汇总页脚</translation>
    </message>
    <message>
        <source>自动展开所有分组</source>
        <translation>自动展开所有分组</translation>
    </message>
    <message>
        <source>只打印当前行</source>
        <translation>只打印当前行</translation>
    </message>
    <message>
        <source>打印页眉</source>
        <translation>打印页眉</translation>
    </message>
    <message>
        <source>打印页脚</source>
        <translation>打印页脚</translation>
    </message>
    <message>
        <source>每页小计（过次页／承前页）</source>
        <translation>每页小计（过次页／承前页）</translation>
    </message>
    <message>
        <source>, 粗体</source>
        <translation>, 粗体</translation>
    </message>
    <message>
        <source>报表设计</source>
        <translation>报表设计</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>颜色</source>
        <translation>颜色</translation>
    </message>
    <message>
        <source>字体</source>
        <translation>字体</translation>
    </message>
    <message>
        <source>行为</source>
        <translation>行为</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>所有行相同</source>
        <translation>所有行相同</translation>
    </message>
    <message>
        <source>奇偶行交替</source>
        <translation>奇偶行交替</translation>
    </message>
    <message>
        <source>绘制方式:</source>
        <translation>绘制方式:</translation>
    </message>
    <message>
        <source>不打印</source>
        <translation>不打印</translation>
    </message>
    <message>
        <source>每个顶部页</source>
        <translation>每个顶部页</translation>
    </message>
    <message>
        <source>仅第一页</source>
        <translation>仅第一页</translation>
    </message>
    <message>
        <source>标题位置:</source>
        <translation>标题位置:</translation>
    </message>
    <message>
        <source>报表标题:</source>
        <translation>报表标题:</translation>
    </message>
</context>
<context>
    <name>rg::TfrmAddField</name>
    <message>
        <source>字段添加</source>
        <translation>字段添加</translation>
    </message>
</context>
<context>
    <name>rg::TfrmCalcFields</name>
    <message>
        <source>计算字段</source>
        <translation>计算字段</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>计算字段：</source>
        <translation>计算字段：</translation>
    </message>
    <message>
        <source>名称：</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>表达式：</source>
        <translation>表达式：</translation>
    </message>
    <message>
        <source>字段和函数（双击插入）：</source>
        <translation>字段和函数（双击插入）：</translation>
    </message>
    <message>
        <source>表达式正确，结果为</source>
        <translation>表达式正确，结果为</translation>
    </message>
</context>
<context>
    <name>rg::TfrmFieldsetup</name>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>设置字段</source>
        <translation>设置字段</translation>
    </message>
    <message>
        <source>字段列表：</source>
        <translation>字段列表：</translation>
    </message>
</context>
<context>
    <name>rg::TfrmParameterSetup</name>
    <message>
        <source>存储过程设置</source>
        <translation>存储过程设置</translation>
    </message>
    <message>
        <source>选择存储过程</source>
        <translation>选择存储过程</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>参数设置</translation>
    </message>
    <message>
        <source>参数列表</source>
        <translation>参数列表</translation>
    </message>
    <message>
        <source>设置参数值</source>
        <translation>设置参数值</translation>
    </message>
</context>
<context>
    <name>rg::TfrmShowAs</name>
    <message>
        <source>显示方式</source>
        <translation>显示方式</translation>
    </message>
    <message>
        <source>前 N 项</source>
        <translation>前 N 项</translation>
    </message>
    <message>
        <source>显示方式与前 N 项</source>
        <translation>显示方式与前 N 项</translation>
    </message>
    <message>
        <source>显示为</source>
        <translation>显示为</translation>
    </message>
    <message>
        <source>分组层</source>
        <translation>分组层</translation>
    </message>
    <message>
        <source>只显示前（0 为全部）</source>
        <translation>只显示前（0 为全部）</translation>
    </message>
    <message>
        <source>按汇总</source>
        <translation>按汇总</translation>
    </message>
</context>
<context>
    <name>rg::Tfrmdisplaysetup</name>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>字段设置</source>
        <translation>字段设置</translation>
    </message>
    <message>
        <source>字段列表：</source>
        <translation>字段列表：</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>显示</translation>
    </message>
</context>
<context>
    <name>rg::Tfrmprimmarysetup</name>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>关键字设置</source>
        <translation>关键字设置</translation>
    </message>
    <message>
        <source>选择字段</source>
        <translation>选择字段</translation>
    </message>
</context>
<context>
    <name>rg::Tfrmquorvel</name>
    <message>
        <source>Print Preview</source>
        <translation>打印预览</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Page Setup</source>
        <translation>页面设置</translation>
    </message>
    <message>
        <source>Designer</source>
        <translation>报表设计</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>报表生成器</source>
        <translation>报表生成器</translation>
    </message>
    <message>
        <source>设置数据源</source>
        <translation>设置数据源</translation>
    </message>
    <message>
        <source>打印预览</source>
        <translation>打印预览</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>     页面设置         </source>
        <translation>     页面设置         </translation>
    </message>
    <message>
        <source>报表设计</source>
        <translation>报表设计</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>已设置报表</source>
        <translation>已设置报表</translation>
    </message>
    <message>
        <source>程序目录中的报表</source>
        <translation>程序目录中的报表</translation>
    </message>
    <message>
        <source>请按下列步骤操作</source>
        <translation>请按下列步骤操作</translation>
    </message>
    <message>
        <source>1.设置关键字</source>
        <translation>1.设置关键字</translation>
    </message>
    <message>
        <source>2.设置字段</source>
        <translation>2.设置字段</translation>
    </message>
    <message>
        <source>3.设置汇总方式</source>
        <translation>3.设置汇总方式</translation>
    </message>
    <message>
        <source>注：此程序可以设置任意</source>
        <translation>注：此程序可以设置任意</translation>
    </message>
    <message>
        <source>一种形式的报表，对任意</source>
        <translation>一种形式的报表，对任意</translation>
    </message>
    <message>
        <source>烈进行汇总，还可以输出</source>
        <translation>烈进行汇总，还可以输出</translation>
    </message>
    <message>
        <source>Excel表格</source>
        <translation>Excel表格</translation>
    </message>
    <message>
        <source>设置关键字</source>
        <translation>设置关键字</translation>
    </message>
    <message>
        <source>设置字段</source>
        <translation>设置字段</translation>
    </message>
    <message>
        <source>设置汇总方式</source>
        <translation>设置汇总方式</translation>
    </message>
    <message>
        <source>展开</source>
        <translation>展开</translation>
    </message>
    <message>
        <source>折叠</source>
        <translation>折叠</translation>
    </message>
    <message>
        <source>输出XML文档</source>
        <translation>输出XML文档</translation>
    </message>
    <message>
        <source>输出电子表格</source>
        <translation>输出电子表格</translation>
    </message>
    <message>
        <source>输出PDF文档</source>
        <translation>输出PDF文档</translation>
    </message>
    <message>
        <source>字段显示设置</source>
        <translation>字段显示设置</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>保存设置</translation>
    </message>
    <message>
        <source>读取设置</source>
        <translation>读取设置</translation>
    </message>
    <message>
        <source>显示图表</source>
        <translation>显示图表</translation>
    </message>
    <message>
        <source>计算字段</source>
        <translation>计算字段</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>撤销：</source>
        <translation>撤销：</translation>
    </message>
    <message>
        <source>重做：</source>
        <translation>重做：</translation>
    </message>
    <message>
        <source>打开报表“%1”</source>
        <translation>打开报表“%1”</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>失败：</translation>
    </message>
    <message>
        <source>（仍显示报表“%1”）</source>
        <translation>（仍显示报表“%1”）</translation>
    </message>
    <message>
        <source>报表“%1”</source>
        <translation>报表“%1”</translation>
    </message>
    <message>
        <source>没有提供数据源</source>
        <translation>没有提供数据源</translation>
    </message>
    <message>
        <source>新报表</source>
        <translation>新报表</translation>
    </message>
</context>
<context>
    <name>rg::Tfrusummarysetup</name>
    <message>
        <source>（分组行）</source>
        <translation>（分组行）</translation>
    </message>
    <message>
        <source>显示在分组行</source>
        <translation>显示在分组行</translation>
    </message>
    <message>
        <source>汇总方式设置</source>
        <translation>汇总方式设置</translation>
    </message>
    <message>
        <source>会总字段名称</source>
        <translation>会总字段名称</translation>
    </message>
    <message>
        <source>会总方式</source>
        <translation>会总方式</translation>
    </message>
</context>
</TS>
