// Resource ids of this area: pairs (Chinese, English).
#pragma once
