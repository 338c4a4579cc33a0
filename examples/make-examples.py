#!/usr/bin/env python3
"""Writes the demo article folder and demo.ini.

The articles are short pieces of text in the encodings Varnel reads: GBK,
UTF-8 with and without a byte-order mark, UTF-16 little- and big-endian, Big5
HTML that declares its charset, and one gzip-compressed page. Run it again to
rebuild examples/articles and examples/demo.ini from scratch.
"""
import gzip
import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
ARTICLES = HERE / "articles"

PIECES = [
    ("新闻", "春雨润物", "一场春雨过后，城郊的麦田绿意盎然。农民们说，今年的墒情比往年都好，“只要后面天气配合，丰收有望”。"),
    ("新闻", "地铁新线", "本市第十二号地铁线今天开通试运营，全线共设站二十三座。早高峰期间，列车每四分钟一班。"),
    ("新闻", "图书馆夜读", "市图书馆推出夜读服务，每周五延长开放到晚上十点。读者说：“下班后终于有地方安静看书了。”"),
    ("科技", "开源数据库", "一款开源数据库发布了新版本，改进了批量导入的速度，并修复了路径 C:\\new\\table 中反斜杠的处理问题。"),
    ("科技", "中文分词", "中文文本没有天然的词边界，分词是搜索引擎的第一步。常见的方法有词典匹配和统计模型两类。"),
    ("科技", "编码小史", "从 GB2312 到 GBK，再到 GB18030，汉字编码一步步扩展；而 UTF-8 让世界上的文字共用一套编码。"),
    ("生活", "家常豆腐", "豆腐切块煎至两面金黄，加入青椒、木耳翻炒，最后淋上少许酱油，一盘家常豆腐就做好了。"),
    ("生活", "晨跑", "坚持晨跑一个月后，他发现自己睡得更香了。医生建议：运动要循序渐进，不要一开始就跑得太远。"),
    ("生活", "阳台种菜", "阳台上的几盆小葱和生菜长势喜人。只要阳光充足、按时浇水，城市里也能吃上自己种的菜。"),
    ("文化", "古镇", "古镇的石板路被岁月磨得发亮，两旁的木楼里飘出阵阵茶香，游客们在这里放慢了脚步。"),
    ("文化", "书法展", "书法展上，一幅行书作品引来众多观众驻足。作者说，写字和做人一样，讲究的是“平正”二字。"),
    ("文化", "民乐演出", "二胡、琵琶与古筝合奏的《春江花月夜》赢得满堂喝彩，不少年轻观众第一次走进民乐音乐会。"),
]

# Big5 can hold traditional characters only: these two pages are written in them.
BIG5 = [
    ("文化", "臺灣茶", "高山烏龍茶香氣清雅，茶農說：「好茶要看天，也要看人。」每年春冬兩季是採茶的時節。"),
    ("新聞", "港口", "港口的貨櫃碼頭燈火通明，一艘艘貨輪在夜色中進出，繁忙的景象一直持續到天亮。"),
]


def html(title, body, meta=""):
    return (f"<html>\r\n<head>\r\n{meta}<title>{title}</title>\r\n</head>\r\n"
            f"<body>\r\n<h1>{title}</h1>\r\n<p>{body}</p>\r\n</body>\r\n</html>\r\n")


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def main():
    if ARTICLES.exists():
        shutil.rmtree(ARTICLES)
    encodings = ["gbk", "utf-8", "utf-8-sig", "utf-16-le-bom", "utf-16-be-bom", "gbk-html"]
    for i, (folder, title, body) in enumerate(PIECES):
        kind = encodings[i % len(encodings)]
        name = ARTICLES / folder / f"{title}.txt"
        text = f"{title}\r\n\r\n{body}\r\n"
        if kind == "gbk":
            data = text.encode("gbk")
        elif kind == "utf-8":
            data = text.encode("utf-8")
        elif kind == "utf-8-sig":
            data = text.encode("utf-8-sig")
        elif kind == "utf-16-le-bom":
            data = b"\xff\xfe" + text.encode("utf-16-le")
        elif kind == "utf-16-be-bom":
            data = b"\xfe\xff" + text.encode("utf-16-be")
        else:
            name = name.with_suffix(".htm")
            meta = '<meta http-equiv="Content-Type" content="text/html; charset=gb2312">\r\n'
            data = html(title, body, meta).encode("gbk")
        write(name, data)
    for folder, title, body in BIG5:
        meta = '<meta http-equiv="Content-Type" content="text/html; charset=big5">\r\n'
        write(ARTICLES / folder / f"{title}.htm", html(title, body, meta).encode("big5"))
    # A gzip-compressed UTF-8 page: recognised by its signature, not its name.
    page = html("压缩网页", "这一页以 gzip 压缩保存，读取时自动解压。", '<meta charset="utf-8">\r\n')
    write(ARTICLES / "科技" / "压缩网页.htm", gzip.compress(page.encode("utf-8"), mtime=0))
    # Plain ASCII and a page of HTML entities.
    write(ARTICLES / "english.txt", b"Varnel demo\r\n\r\nA plain ASCII article, read as it is.\r\n")
    write(ARTICLES / "实体.htm",
          html("实体", "引号&ldquo;和&rdquo;、乘号&times;、版权&#169;与汉字&#x4E2D;&#25991;。",
               '<meta charset="utf-8">\r\n').encode("utf-8"))

    opt = "┊?┊"
    rows = [
        ("标题", "文件主名", "无"),
        ("内容", "文件内容", "无"),
        ("摘要", "内容摘要", f"40{opt}60"),
        ("网页标题", "网页标题", f"<title>{opt}</title>"),
        ("栏目", "父目录名", "无"),
        ("序号", "递进数字", f"1{opt}1{opt}真"),
        ("入库时间", "时间戳", f"真{opt}假{opt}真{opt}真{opt}假{opt}假"),
    ]
    lines = ["[主界面]"]
    for r in range(len(rows), 0, -1):
        target, source, options = rows[r - 1]
        lines += [f"数据配置({r})={options}", f"数据来源({r})={source}", f"字段名或位置({r})={target}"]
    lines += [
        f"字段数={len(rows)}",
        "组合框文件编码=0",
        "编辑框文件类型=*.txt|*.htm",
        "选择框遍历子目录=真",
        "编辑框库名=varnel_demo",
        "编辑框表名=articles",
    ]
    (HERE / "demo.ini").write_bytes("\r\n".join(lines).encode("gb18030"))


if __name__ == "__main__":
    main()
