#pragma once

// The radical of a Chinese character: the part that files it in a dictionary and often names its field (疒 for
// illness, 鱼 for fish, 车 for vehicles), so that a character never seen before still says something.
namespace Radicals {

// The Kangxi radical number, 1 to 214, of a CJK unified ideograph of the basic block or extension A; 0 otherwise.
int of(char32_t c);

} // namespace Radicals
