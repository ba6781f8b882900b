// Runs action records: one activation's stack, registers, constant pool and
// scope chain. Every read is bounds-checked against the block being run and
// every branch is checked against it; a branch that leaves a nested block
// (try, with, function body) is handed to the block around it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "avm1/uRuntime.h"

namespace zembra::avm1 {

class Interpreter {
  public:
    struct Context {
        Bytes bytes;
        Pool pool;
        std::shared_ptr<Scope> scope;
        Value thisObj;
        ClipId target = 0;         // tellTarget's current target
        ClipId originalTarget = 0; // where the script lives
        std::vector<Value> regs;
        Object* activation = nullptr; // function locals; null at top level
        Object* callee = nullptr;
        Object* homeProto = nullptr; // for `super`
        std::vector<Value> stack;
        Value returnValue;
    };

    enum class Exit { End, Return, JumpOut };
    struct Result {
        Exit exit = Exit::End;
        size_t target = 0;
    };

    // Runs [start, end) of ctx.bytes.
    static Result Run(Runtime& rt, Context& ctx, size_t start, size_t end);
    // Calls a function defined by DefineFunction/DefineFunction2.
    static Value Invoke(Runtime& rt, Object* fn, const Value& thisv, Args& args, Object* homeProto);
};

} // namespace zembra::avm1
