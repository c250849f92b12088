#pragma once
// Result of an operation that can fail: a code and a message that names the
// file and, where it helps, the offset. Errors are values, never exceptions.
#include <string>
#include <utility>

namespace pu {

class [[nodiscard]] Status {
public:
  enum class Code { Ok, NotFound, PathNotFound, Exists, Locked, Corruption, Unsupported, InvalidArgument, IoError };

  Status() = default;
  static Status ok() { return {}; }
  static Status notFound(std::string msg) { return {Code::NotFound, std::move(msg)}; }
  static Status pathNotFound(std::string msg) { return {Code::PathNotFound, std::move(msg)}; }
  static Status exists(std::string msg) { return {Code::Exists, std::move(msg)}; }
  static Status locked(std::string msg) { return {Code::Locked, std::move(msg)}; }
  static Status corruption(std::string msg) { return {Code::Corruption, std::move(msg)}; }
  static Status unsupported(std::string msg) { return {Code::Unsupported, std::move(msg)}; }
  static Status invalidArgument(std::string msg) { return {Code::InvalidArgument, std::move(msg)}; }
  static Status ioError(std::string msg) { return {Code::IoError, std::move(msg)}; }

  bool isOk() const { return m_code == Code::Ok; }
  explicit operator bool() const { return isOk(); }
  Code code() const { return m_code; }
  const std::string& message() const { return m_message; }

private:
  Status(Code code, std::string msg) : m_code(code), m_message(std::move(msg)) {}
  Code m_code = Code::Ok;
  std::string m_message;
};

} // namespace pu
