#!/usr/bin/env python3
"""A sample news-search service for trying Velmora without the real one.

    sample-news-service.py [--port 18936] [--lifetime SECONDS] [--refresh SECONDS]

Listens on 127.0.0.1 only. GET /s?...&wd=KEYWORD&... answers with a result
page in the real service's layout (UTF-8): each result a heading whose link
tag spans several lines, its title on a line of its own ending in
"</a></h3>", the searched word highlighted with <em>...</em> in some titles.
Every keyword has a rotating set of invented headlines: every --refresh
seconds (20 by default) some titles leave the page and fresh ones come in, so
each harvest brings new headlines. The keyword may arrive percent-escaped
(UTF-8, or code page 936) or as raw bytes; all are accepted. Other paths get
404. With --lifetime the service stops by itself after that many seconds.
Standard library only.
"""
import argparse
import html
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

KEYWORDS = ["死亡", "发明", "科学家", "天文", "发现", "中国", "女子", "男子"]

# Invented headlines: for every keyword, subjects and happenings that combine
# into many titles, so the page can keep changing. "{k}" marks the keyword.
PARTS = {
    "死亡": (["南方小镇", "老旧小区", "高速服务区", "山区村庄", "海边渔港", "城郊工地"],
             ["发生意外{k}事故 当地启动调查", "一起{k}事件引关注 家属发声", "{k}人数统计方式调整 专家解读",
              "交通{k}率连续三年下降", "罕见寒潮后{k}案例通报"]),
    "发明": (["中学生", "退休工人", "乡村教师", "大学团队", "外卖骑手", "快递小哥"],
             ["{k}折叠晾衣架获国家专利", "自制{k}节水灌溉装置走红", "{k}防走失手环 已帮助百余家庭",
              "{k}新型雨伞 大风天不再翻面", "凭一项小{k}获评年度创新人物"]),
    "科学家": (["青年", "海洋", "气象", "材料", "农业", "医学"],
               ["{k}揭示候鸟迁徙的新路线", "{k}研制出可降解塑料新配方", "{k}团队破解千年古画颜料之谜",
                "{k}在深海发现新物种", "{k}呼吁关注城市噪音污染"]),
    "天文": (["本周末", "今晚", "下月初", "年底前", "明晨", "国庆假期"],
             ["{k}爱好者可观测流星雨", "将迎来罕见行星连珠{k}奇观", "{k}台开放日 市民排队看土星环",
              "{k}望远镜拍到彗星清晰影像", "一颗小行星将近距离掠过地球 {k}学会解读"]),
    "发现": (["考古队", "渔民", "登山者", "农民", "潜水员", "小学生"],
             ["在河床{k}千年古船遗骸", "意外{k}稀有野生兰花群落", "{k}一块罕见陨石 已送检",
              "古井中{k}宋代瓷器", "山洞里{k}恐龙足迹化石"]),
    "中国": (["今年", "上半年", "近日", "最新数据显示", "记者观察：", "一图读懂："],
             ["{k}高铁运营里程再创新高", "{k}女排再夺冠 全场沸腾", "{k}空间站迎来新一批实验",
              "{k}传统节日文化走向世界", "{k}新能源汽车出口量增长", "{k}大熊猫国家公园新添幼崽"]),
    "女子": (["外卖平台", "地铁站", "菜市场", "健身房", "小区门口", "高铁上"],
             ["{k}拾金不昧 失主送锦旗", "{k}勇救落水儿童后悄然离开", "一{k}坚持十年照顾孤寡老人",
              "{k}用废旧纸箱做出城市模型", "{k}跑完百公里越野赛"]),
    "男子": (["小区", "景区", "高速路口", "商场", "火车站", "公园"],
             ["{k}徒手接住坠楼儿童", "{k}骑行三千公里回乡过年", "一{k}捡到钱包苦等失主两小时",
              "{k}自学成才修复老钟表", "{k}冒雨疏通下水道获点赞"]),
}
TITLES_PER_PAGE = 10


def all_titles(keyword):
    """Every headline the service knows for `keyword`, in a fixed order."""
    places, events = PARTS[keyword]
    titles = []
    for round_number in range(len(places)):
        for number, event in enumerate(events):
            place = places[(round_number + number) % len(places)]
            highlight = (round_number + number) % 2 == 0
            word = f"<em>{keyword}</em>" if highlight else keyword
            titles.append(place + event.format(k=word))
    return titles


def page_titles(keyword, moment, refresh):
    """The titles on the page at `moment`: a window that slides by three
    titles every `refresh` seconds."""
    titles = all_titles(keyword)
    start = (int(moment // refresh) * 3) % len(titles)
    return [titles[(start + i) % len(titles)] for i in range(TITLES_PER_PAGE)]


def result_page(keyword, titles):
    """A result page in the service's layout (str; sent as UTF-8)."""
    out = ["<!DOCTYPE html>", "<html>", "<head>",
           '<meta http-equiv="content-type" content="text/html;charset=utf-8">',
           f"<title>{html.escape(keyword)}_新闻搜索</title>", "</head>", "<body>",
           '<div id="wrapper">', '<div id="content_left">']
    for number, title in enumerate(titles, start=1):
        out += [f'<div class="result" id="{number}">',
                '<h3 class="c-title">',
                f'<a href="http://news.example.com/{zlib.crc32((keyword + title).encode()) % 10**8}.html"',
                f"    data-click=\"{{'f0':'77A717EA','f1':'9F63F1E4','f2':'4CA6DD6E','t':'{number}'}}\"",
                '    target="_blank"',
                f">{title}</a></h3>",
                '<div class="c-summary c-row">',
                f'<p class="c-author">示例新闻网&nbsp;&nbsp;{number}小时前</p>',
                "这是示例新闻服务生成的内容，仅供演示。",
                "</div>", "</div>"]
    out += ["</div>", "</div>", "</body>", "</html>", ""]
    return "\n".join(out)


def keyword_of(raw_path):
    """The wd parameter of a request target, however it was encoded; None
    when there is none."""
    target = raw_path.encode("latin-1", errors="replace")  # http.server read it as latin-1
    query = target.split(b"?", 1)[1] if b"?" in target else b""
    for pair in query.split(b"&"):
        name, _, value = pair.partition(b"=")
        if name != b"wd":
            continue
        data = urllib.parse.unquote_to_bytes(value.replace(b"+", b" "))
        for encoding in ("utf-8", "gb18030"):
            try:
                return data.decode(encoding)
            except UnicodeDecodeError:
                pass
        return None
    return None


class Handler(BaseHTTPRequestHandler):
    server_version = "SampleNews/1.0"
    refresh = 20.0

    def do_GET(self):  # noqa: N802 (the library's name)
        if not self.path.startswith("/s?"):
            self.answer(404, "<html><body>not found</body></html>")
            return
        keyword = keyword_of(self.path)
        if keyword not in PARTS:
            self.answer(200, result_page(keyword or "", []))
            return
        self.answer(200, result_page(keyword, page_titles(keyword, time.time(), self.refresh)))

    def answer(self, status, body):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def main(argv):
    parser = argparse.ArgumentParser(description="Velmora's sample news-search service (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=18936)
    parser.add_argument("--lifetime", type=float, default=0, help="stop after this many seconds (0: run until killed)")
    parser.add_argument("--refresh", type=float, default=20, help="seconds between changes of the titles")
    options = parser.parse_args(argv[1:])
    Handler.refresh = max(options.refresh, 1.0)
    server = ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.daemon_threads = True
    if options.lifetime > 0:
        threading.Timer(options.lifetime, server.shutdown).start()
    print(f"sample news service on http://127.0.0.1:{options.port}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
