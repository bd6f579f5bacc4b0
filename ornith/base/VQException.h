#pragma once
// Failures of the class-file, model, store and library layers: a named exception with a reason.

#include <stdexcept>
#include <string>

namespace ornith {

class VQException : public std::runtime_error {
public:
    VQException(std::string name, std::string reason);

    const std::string& name() const noexcept { return _name; }
    const std::string& reason() const noexcept { return _reason; }

private:
    std::string _name;
    std::string _reason;
};

class VQInvalidArgumentException : public VQException {
public:
    explicit VQInvalidArgumentException(std::string reason);
};

class VQInternalInconsistencyException : public VQException {
public:
    explicit VQInternalInconsistencyException(std::string reason);
};

}  // namespace ornith
