#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

namespace ambleguard {

// The request never got an answer: no route, refused, timed out, bad certificate...
struct HttpTransportError {
    std::string description;  // a sentence for the log
};

// Whatever came back. `statusCode` is absent when the answer was not an HTTP response at all;
// `body` is absent when there was none.
struct HttpResponse {
    std::optional<int> statusCode;
    std::optional<std::string> body;  // the bytes as received, not checked for any encoding
};

using HttpResult = std::variant<HttpTransportError, HttpResponse>;

// Plain HTTP(S) GET requests without a body or special headers.
class HttpClient {
  public:
    using Completion = std::function<void(HttpResult)>;

    virtual ~HttpClient() = default;

    // Starts a GET of `url` and returns at once. `completion` runs exactly once, never inside
    // this call, on whichever thread the client delivers on.
    virtual void get(std::string url, Completion completion) = 0;
};

}  // namespace ambleguard
