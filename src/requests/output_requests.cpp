#include "requests/output_requests.h"

#include "protocol/replies.h"
#include "common/line_text.h"

namespace tq::requests {

using engine::FrameDisplay;
namespace code = engine::code;

OutputRequests::OutputRequests(engine::TransactionEngine& engine, engine::View& view)
    : PageRequests(engine, view),
      controls_{
          .selectedIndex = [this](const char* control) { return view_.selectedIndex(control); },
          .typedText = [this](const char* control) { return view_.text(control); },
          .lineText =
              [this](const protocol::OutputField& field) { return lineText(view_.text(field.control), field.name); }} {
  engine_.setDecoder(code::OutputParamQuery,
                     [](const engine::ReplyInput& reply) { return protocol::decodeOutputSettingsReply(reply.text); });
  engine_.setDecoder(code::OutputValueQuery,
                     [](const engine::ReplyInput& reply) { return protocol::decodeOutputValuesReply(reply.text); });
}

// Built first: a refused field leaves Edit8 and Memo10 as they were.
void OutputRequests::sendOutput(std::string_view button) {
  const auto frame = protocol::outputFrame(protocol::outputCommand(button), controls_);
  engine::checkFrameSize(frame);
  engine_.showFrame(frame, FrameDisplay::Text);
  engine_.clearReceiveDisplay();
  engine_.write(frame);
}

void OutputRequests::Button41Click() { sendOutput("Button41"); }
void OutputRequests::Button42Click() { sendOutput("Button42"); }
void OutputRequests::Button45Click() { sendOutput("Button45"); }
void OutputRequests::Button77Click() { sendOutput("Button77"); }
void OutputRequests::Button64Click() { sendOutput("Button64"); }
void OutputRequests::Button63Click() { sendOutput("Button63"); }
void OutputRequests::Button62Click() { sendOutput("Button62"); }
void OutputRequests::Button61Click() { sendOutput("Button61"); }
void OutputRequests::Button33Click() { sendOutput("Button33"); }
void OutputRequests::Button34Click() { sendOutput("Button34"); }
void OutputRequests::Button19Click() { sendOutput("Button19"); }
void OutputRequests::Button25Click() { sendOutput("Button25"); }
void OutputRequests::Button8Click() { sendOutput("Button8"); }
void OutputRequests::Button11Click() { sendOutput("Button11"); }

void OutputRequests::query(const protocol::Frame& frame, int pendingCode) {
  engine_.clearDisplays();
  engine_.transmit(frame, FrameDisplay::Text);
  engine_.await(pendingCode, engine::timeout::ParameterQuery, engine::kQueryTimeoutMs);
}

void OutputRequests::Button3Click() { query(protocol::outputSettingsQueryFrame(), code::OutputParamQuery); }
void OutputRequests::Button9Click() { query(protocol::outputValuesQueryFrame(), code::OutputValueQuery); }

}  // namespace tq::requests
