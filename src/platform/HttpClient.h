#pragma once

#include "base/Result.h"

#include <functional>
#include <optional>
#include <string>

namespace ambleguard {

// Whatever came back. `statusCode` is absent when the answer was not an HTTP response at all;
// `body` is absent when there was none.
struct HttpResponse {
    std::optional<int> statusCode;
    std::optional<std::string> body;  // the bytes as received, not checked for any encoding
};

// Whatever came back, or why the request never got an answer (no route, refused, timed out,
// bad certificate...) as a sentence for the log.
using HttpResult = Result<HttpResponse>;

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
