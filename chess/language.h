// The language of what the companions print and draw: Russian or English
// piece letters and words. On its own so that a header can name it without
// bringing in the chess position.
#pragma once

enum class notation { russian, english };
