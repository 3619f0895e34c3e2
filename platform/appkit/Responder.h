#pragma once
// What views and windows have in common, as on the Mac: an object that a
// toolkit handle may stand for, told apart by asking which kind it is.

namespace platform::appkit {

class Responder {
public:
    Responder() = default;
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;
};

}  // namespace platform::appkit
