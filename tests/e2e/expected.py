"""What a person should see, worked out from the program's rules in plain Python, apart from the
program's own code: the page's bytes, the status captions and the run's state across fetches and
saves. The suite compares the real program against this."""

from __future__ import annotations

import dataclasses

REPLY_LIMIT = 1024 * 1024  # a longer reply counts as no reply at all

QR_IMAGE_START = b'<img src="http://qr.veltromquenzo.example/api.php?text='


def gbk(text: str) -> bytes:
    """Text in code page 936, the program's (and the page's) encoding."""
    return text.encode("gbk")


def cp936_text(data: bytes) -> str:
    return data.decode("gbk")


INITIAL_CAPTION = "返回信息"
NO_CODE_CAPTION = "返回信息：未取到优惠码，请重试"
SAVED_CAPTION = "本次任务完成"
SAVE_FAILED_CAPTION = "未知错误，请重试"
FETCH_BUTTON_CAPTION = "点一次加1个，OK的时候再点击下面的按钮"
FINISH_BUTTON_CAPTION = "OK了，出来吧"
WINDOW_TITLE = "VeltromQuenzo生成器"


def success_caption(count: int) -> str:
    return f"返回信息：成功生成{count}个VeltromQuenzo二维码"


# The campaign's terms closing every saved page.
PAGE_FOOTER = gbk(
    '<div>\r\n\t<span style="font-size:16px;"><strong>所生成的VeltromQuenzo活动二维码</strong>'
    '<span style="color:#E53333;"><strong>当天有效</strong></span><strong>。</strong></span>'
    '<br />\r\n<span style="font-size:16px;"><strong>活动时间：至2016年8月23日</strong></span>'
    '<br />\r\n<span style="font-size:16px;"><strong>部分Veltrom有时间限制，早9点到晚6点间才能使用'
    '&nbsp;</strong></span>\r\n</div>')

_UNRESERVED = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~")
_HTML_ENTITIES = {ord("&"): b"&amp;", ord("<"): b"&lt;", ord(">"): b"&gt;", ord('"'): b"&quot;",
                  ord("'"): b"&#39;"}


def percent_encode(data: bytes) -> bytes:
    return b"".join(bytes([b]) if b in _UNRESERVED else b"%%%02X" % b for b in data)


def escape_html(data: bytes) -> bytes:
    return b"".join(_HTML_ENTITIES.get(b, bytes([b])) for b in data)


def page_entry(code: bytes, expiry: bytes) -> bytes:
    return (QR_IMAGE_START + percent_encode(code) +
            b'" alt="" width="150" height="150" title="" align="" /><p>\r\n\t' + gbk("有效期到") +
            escape_html(expiry) + b"</p>" + gbk("本次优惠码为") + escape_html(code) + b"</p>")


def _find_character(text: bytes, needle: bytes, origin: int) -> int:
    """Where `needle` first begins a character of `text` read from `origin`, or -1. The program
    reads code page 936 without a table: a byte of 0x80 or above begins a two-byte character,
    whatever byte follows it (a quote after a lone high byte is that character's second half)."""
    at = origin
    while at + len(needle) <= len(text):
        if text.startswith(needle, at):
            return at
        at += 2 if text[at] >= 0x80 else 1
    return -1


def _between(text: bytes, start: bytes, end: bytes) -> bytes:
    found = _find_character(text, start, 0)
    if found < 0:
        return b""
    value_start = found + len(start)
    value_end = _find_character(text, end, value_start)
    return b"" if value_end < 0 else text[value_start:value_end]


def fields_of(body: bytes) -> tuple[bytes, bytes]:
    """(code, expiry) as the program cuts them out of a reply body; empty when absent. The end
    marker is looked for from the value's start, characters counted from there."""
    if len(body) > REPLY_LIMIT:
        return b"", b""
    text = body.split(b"\0", 1)[0]
    return _between(text, b'activity":"', b'"}'), _between(text, b'time":"', b'","')


def raffle_reply(code: str | bytes, expiry: str | bytes = "2016-07-01 23:59:59") -> bytes:
    """A reply of the raffle service as it usually comes."""
    code_bytes = gbk(code) if isinstance(code, str) else code
    expiry_bytes = gbk(expiry) if isinstance(expiry, str) else expiry
    return b'{"code":0,"time":"' + expiry_bytes + b'","activity":"' + code_bytes + b'"}'


@dataclasses.dataclass
class Collection:
    """The run's visible state: the page in the edit box, the status caption, the file saved."""

    page: bytes = b""  # every entry since start or the last successful save
    count: int = 0
    caption: str = INITIAL_CAPTION
    edit_box: bytes = b""
    saved: bytes | None = None  # the bytes of 1.html after the last save, None before any

    def fetch(self, body: bytes | None) -> None:
        """One press of the fetch button; `body` None stands for no reply at all."""
        code, expiry = fields_of(body or b"")
        if not code:
            self.caption = NO_CODE_CAPTION
            return
        self.count += 1
        self.page += page_entry(code, expiry)
        self.edit_box = self.page
        self.caption = success_caption(self.count)

    def finish(self, save_succeeds: bool = True) -> None:
        """One press of the finish button."""
        if not save_succeeds:
            self.caption = SAVE_FAILED_CAPTION
            return
        self.saved = self.edit_box + PAGE_FOOTER
        self.count = 0
        self.page = b""
        self.edit_box = b""
        self.caption = SAVED_CAPTION
