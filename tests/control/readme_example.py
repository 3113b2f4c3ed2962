# Runs the Python example of README.md's "Driving Tarnwick from tests" as it stands there.
# Usage: readme_example.py README.md PATH_TO_TARNWICK
import os, re, sys

readme, tarnwick = sys.argv[1], sys.argv[2]
text = open(readme, encoding="utf-8").read()
match = re.search(r"<!-- control-example -->\n```python\n(.*?)\n```", text, re.S)
if not match:
    sys.exit("README.md has no example after <!-- control-example -->")
os.environ["TARNWICK"] = tarnwick
exec(compile(match.group(1), "README.md example", "exec"), {"__name__": "__main__"})
print("README example ok")
