#include "bench_inputs.h"

#include <string_view>

#include "collection/page_entry.h"

namespace vq::bench {
namespace {

constexpr std::string_view replyHead = R"({"code":0,"msg":")";
constexpr std::string_view replyTail = R"(","time":"2016-07-01 23:59:59","activity":"QX8F2K"})";
// "活动火爆，请稍后再试" and padding with the same characters
constexpr std::string_view gbkMessage =
    "\xBB\xEE\xB6\xAF\xBB\xF0\xB1\xAC\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF3\xD4\xD9\xCA\xD4";

}  // namespace

std::string raffleReply(std::size_t size) {
  std::string message;
  const std::size_t fixed = replyHead.size() + replyTail.size();
  while (fixed + message.size() + 2 <= size) {
    message += gbkMessage.substr(message.size() % gbkMessage.size(), 2);
  }
  while (fixed + message.size() < size) message += ' ';
  return std::string(replyHead) + message + std::string(replyTail);
}

std::string largeTextEndingInAReply(std::size_t size) {
  const std::string reply = raffleReply(200);
  const std::string entry(pageEntry(Text("QX8F2K"), Text("2016-07-01 23:59:59")).view());
  std::string text;
  text.reserve(size);
  while (text.size() + entry.size() + reply.size() <= size) text += entry;
  while (text.size() + reply.size() < size) text += ' ';
  return text + reply;
}

Text pageOf(int entries) {
  const Text entry = pageEntry(Text("QX8F2K"), Text("2016-07-01 23:59:59"));
  std::string page;
  page.reserve(static_cast<std::size_t>(entry.length()) * static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) page += entry.view();
  return Text(page);
}

}  // namespace vq::bench
