// Compiles and runs arbitrary text with the program's evaluator configuration, puts the program
// back and runs it again, and cuts the text with a tokenizer that tracks quotes and brackets.

#include "base/text_utils.h"
#include "protocol/evaluator_setup.h"
#include "protocol/function_evaluator.h"
#include "protocol/string_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static protocol::TFunctionEvaluator evaluator = [] {
        protocol::TFunctionEvaluator ev = protocol::makeMainEvaluator();
        protocol::declareProtocolVariables(ev);
        ev.SetVariable("ADDRESS", 0x12345678);
        ev.SetVariable("SIZE", 128);
        return ev;
    }();
    static protocol::TStringParser bracketParser = [] {
        protocol::TStringParser p = protocol::makeEvaluatorParser();
        p.setSingleLevelBrackets("\"'");
        p.setMultiLevelBracketsOp("([<");
        p.setMultiLevelBracketsCL(")]>");
        p.setMultiLevelBrackets(true);
        return p;
    }();

    const std::string text(reinterpret_cast<const char*>(data), size);
    evaluator.setEquation(text);
    evaluator.Evaluate();
    const protocol::TEquationPol program = evaluator.Compiled();
    evaluator.setEquation("1");
    evaluator.setCompiled(program);
    evaluator.Evaluate();

    protocol::TFunctionEvaluator::CallArgs args;
    int count = 0;
    protocol::TFunctionEvaluator::SplitCall(base::NormalizeTemplateText(text), "DATABLOCK", args, count);

    const auto tokens = bracketParser.Tokenize(text);
    if (!tokens.empty() && bracketParser.GetToken(text, static_cast<int>(tokens.size())) != tokens.back())
        __builtin_trap();
    return 0;
}
