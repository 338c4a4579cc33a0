#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/ and
their dictionaries into fuzz/dict/<target>.dict.

The seeds are small, typical inputs of each reader; the fuzzers grow their own
corpora from them (in build-fuzz/, never here). Run again after changing this
file; the output is deterministic.
"""
import gzip
import os
import shutil

fuzz_dir = os.path.dirname(os.path.abspath(__file__))
here = os.path.join(fuzz_dir, "corpus")


def gb(text):
    return text.encode("gb18030")


def crlf(text):
    return text.replace("\n", "\r\n")


def fdp_string(s):
    """A string as FuzzedDataProvider.ConsumeRandomLengthString reads it:
    backslashes doubled, ended by a backslash and another character."""
    if isinstance(s, str):
        s = s.encode("utf-8")
    return s.replace(b"\\", b"\\\\") + b"\\ "


def gz(data, mtime=0):
    return gzip.compress(data, compresslevel=6, mtime=mtime)


seeds = {}

page = "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=UTF-8\"><title>标题</title></head>" \
       "<body><p>第一段 &amp; &lt;b&gt; &#20013;&#x6587;</p></body></html>"

seeds["settings_store"] = {
    "empty.ini": b"",
    "main.ini": gb(crlf("[主界面]\n编辑框库名=文章库\n字段数=2\n选择框同步=真\n字段名或位置(1)=标题\n\n[新建表]\n字段数=0")),
    "two-sections.ini": gb(crlf("[a]\nk=1\n[b]\nk=2┊*┊3\n[a]\nk=4")),
    "lf-only.ini": gb("[主界面]\n编辑框库名=x\n"),
    # A text that meets the line break mark: "┊*" before CR LF reads back changed.
    "mark-at-line-break.ini": "[┊*\r\n[┊*┊\n".encode("utf-8") + b"\x8a\n",
    "journal.ini": gb(crlf("[s]\nk=old")) + b"VARNEL-SETTINGS-JOURNAL 1\n5\n15\nk=new\r\nx=1\nEND",
}

form_lines = ["[主界面]", "编辑框库名=varnel_demo", "编辑框表名=articles", "编辑框用户名=root",
              "选择框遍历子目录=真", "组合框模式=1", "字段数=3",
              "字段名或位置(1)=标题", "数据来源(1)=文件主名", "数据配置(1)=无",
              "字段名或位置(2)=内容", "数据来源(2)=文件内容", "数据配置(2)=无",
              "字段名或位置(3)=序号", "数据来源(3)=递进数字", "数据配置(3)=1┊?┊1┊?┊真"]
seeds["config_file"] = {
    "main.ini": gb("\r\n".join(form_lines)),
    "table.ini": gb(crlf("[新建表]\n字段数=1\n字段名(1)=ID\n类型(1)=int\n长度或取值范围(1)=11\n")),
    "many-rows.ini": gb(crlf("[主界面]\n字段数=1e9\n")),
    "damaged.ini": gb(crlf("[主界面]\n字段数=-3\n编辑框库名\n=\n[")),
    "line-feeds.ini": gb("[主界面]\n字段数=1\n字段名或位置(1)=标题\n数据来源(1)=文件主名\n"),
    "utf8.ini": "[主界面]\n编辑框库名=库\n".encode("utf-8"),
}

seeds["gunzip"] = {
    "page.gz": gz(page.encode("utf-8")),
    "two-members.gz": gz(b"first member\n") + gz(b"second member\n", 1),
    "truncated.gz": gz(b"a truncated stream " * 20)[:40],
    "trailing.gz": gz(b"text") + b"\0\0garbage",
    "empty.gz": gz(b""),
}

seeds["entities"] = {
    "named.txt": b"&amp;lt; &AMP;gt; &nbsp;&mdash;&hellip; &Prime;&prime; &unknown; &amp",
    "numeric.txt": b"&#65;&#x4E2D;&#X6587; &#0; &#55296; &#1114112; &#6&#53;; &#;&#x;",
    "page.txt": page.encode("utf-8"),
}

seeds["remove_tags"] = {
    "page.html": page.encode("utf-8"),
    "odd.txt": b"a > b < c <<x>y> <z",
}

seeds["meta_charset"] = {
    "utf8.html": page.encode("utf-8"),
    "big5.html": b"<HEAD><META content='text/html; charset=Big5'></HEAD>",
    "hkscs.html": b"<meta charset=\"Big5-HKSCS\"><meta charset=utf-8>",
    "no-head.html": b"<body><meta name=x><meta charset='UTF-8'></body>",
}

seeds["charset_guess"] = {
    "gbk.txt": "数据库连接成功，共导入 3 篇文章。".encode("gbk"),
    "big5.txt": "資料庫連線成功，共匯入 3 篇文章。".encode("big5"),
    "hkscs.txt": "用戶羣組的設定着實重要".encode("big5hkscs"),
    "utf16le.txt": "文章内容 ok".encode("utf-16-le"),
    "utf16be.txt": "第 3 章：编码".encode("utf-16-be"),
    "short.txt": "拷贝".encode("gbk"),
}


def regex_seed(pattern, replacement, text, ignore=1, multiline=1, glob=1, i=2, j=2):
    return fdp_string(pattern) + fdp_string(replacement) + fdp_string(text) + bytes([j, i, glob, multiline, ignore])


seeds["regex"] = {
    "groups": regex_seed(r"(\d+)-(\w+)", "#", "12-ab 34-cd"),
    "octal": regex_seed(r"\11\101[\[a-c]\=", "", "\tAb="),
    "classes": regex_seed(r"[]|[^]|^\s*$", "x", "a\n\nb", glob=0),
    "unicode": regex_seed(r"\u4E2D.\x41", "", "中文A", ignore=0),
    "anchors": regex_seed(r"^(a|b)?\b\B$", "-", "ab\nb", multiline=0),
}


def between_seed(head, tail, text, backward=0, raw=0, bound=4):
    return fdp_string(head) + fdp_string(tail) + text.encode("utf-8") + bytes([bound, 0, 0, raw, backward])


seeds["text_between"] = {
    "title": between_seed("<title>", "</title>", "<TITLE>标题</title><title>二</title>"),
    "quotes": between_seed("charset=''", "''", "<meta charset=\"gbk\">"),
    "open-ends": between_seed("", "</p>", "a</p>b</p>"),
    "backward": between_seed("[", "]", "[a[b]c]", backward=1),
}

for target, files in seeds.items():
    folder = os.path.join(here, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


# Dictionaries: the tokens each reader looks for.
entity_names = ("&amp;|&ndash;|&mdash;|&ldquo;|&rdquo;|&nbsp;|&lt;|&gt;|&quot;|&times;|&divide;|&middot;|"
                "&hellip;|&lsquo;|&rsquo;|&permil;|&prime;|&Prime;|&larr;|&uarr;|&rarr;|&darr;|&radic;|&prop;|"
                "&infin;|&ang;|&and;|&or;|&cap;|&cup;|&int;|&there4;|&sim;|&asymp;|&ne;|&equiv;|&le;|&ge;|"
                "&oplus;|&perp;").split("|")
settings_tokens = [gb(t) for t in ["[主界面]", "[新建表]", "字段数=", "编辑框库名=", "选择框同步=", "组合框模式=",
                                   "字段名或位置(1)=", "数据来源(1)=", "数据配置(1)=", "字段名(1)=", "类型(1)=",
                                   "长度或取值范围(1)=", "真", "假", "┊*┊", "┊?┊"]] + \
                  [b"\r\n", b"\r\n[", b"]\r\n", b"=", b"1e308", b"-1", b"VARNEL-SETTINGS-JOURNAL 1\n", b"\nEND"]
dicts = {
    "entities": [n.encode() for n in entity_names] + [b"&#", b"&#x", b"&#X", b";", b"&#0;", b"&#1114111;"],
    "remove_tags": [b"<", b">", b"<b>", b"</p>"],
    "meta_charset": [b"<head>", b"</head>", b"<meta", b">", b"charset=", b"UTF-8", b"Big5", b"Big5-HKSCS",
                     b"\"", b"'", b"''"],
    "regex": [b"\\\\", b"\\\\1", b"\\\\11", b"\\\\101", b"\\\\u4E2D", b"\\\\x41", b"\\\\cA",
              b"\\\\d", b"\\\\b", b"\\\\=", b"[]", b"[^]", b"[[", b"(?:", b"(?=", b"(?<=", b"(?i)",
              b"*?", b"+", b"{2,3}", b"|", b"^", b"$", b"\\\\p{L}"],
    "text_between": [b"''", b"\"", "#Varnel头#".encode(), "#Varnel尾#".encode()],
    "settings_store": settings_tokens,
    "config_file": settings_tokens,
}


def dict_entry(token):
    out = ""
    for byte in token:
        c = chr(byte)
        if 0x20 <= byte < 0x7F and c not in "\\\"":
            out += c
        else:
            out += "\\x%02X" % byte
    return '"' + out + '"'


dict_dir = os.path.join(fuzz_dir, "dict")
os.makedirs(dict_dir, exist_ok=True)
for target, tokens in dicts.items():
    with open(os.path.join(dict_dir, target + ".dict"), "w") as f:
        f.write("# Written by fuzz/make-seeds.py.\n")
        for token in tokens:
            f.write(dict_entry(token) + "\n")
