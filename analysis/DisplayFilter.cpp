// The display filter's terms and their matching.
#include "analysis/DisplayFilter.h"

struct CDisplayFilter::Terms {};

CDisplayFilter::CDisplayFilter(const CPacketDecoder& decoder) : m_terms(std::make_unique<Terms>()), m_decoder(decoder) {}
CDisplayFilter::~CDisplayFilter() = default;

bool CDisplayFilter::Parse(std::string_view text, std::string& error) {
    if (text.find_first_not_of(' ') == std::string_view::npos)
        return true;
    error = "unknown term";
    return false;
}
bool CDisplayFilter::IsEmpty() const { return true; }
bool CDisplayFilter::DependsOnTime() const { return false; }
bool CDisplayFilter::Matches(int32_t, const CPacketLog&, const CPacketPairs&) const { return true; }
