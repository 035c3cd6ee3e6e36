"""Writes .docx documents that hold text the way real Word files do and our other documents do not:
content controls of every kind and at every level, controls inside text boxes and text boxes inside
controls, controls in headers and footers, a cover page and a resume laid out with controls as Word's
building blocks make them, and a glossary part. Every paragraph starts with a label; the token foo,
and 東京, stand at the starts and ends of paragraphs, controls and cells.

Usage: make-fixtures.py FOLDER"""
import os
import sys
import zipfile

NS = ('xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:w14="http://schemas.microsoft.com/office/word/2010/wordml" '
      'xmlns:w15="http://schemas.microsoft.com/office/word/2012/wordml" '
      'xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" '
      'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
      'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape" '
      'xmlns:v="urn:schemas-microsoft-com:vml" '
      'mc:Ignorable="w14 w15 wps"')
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
MAIN = 'application/vnd.openxmlformats-officedocument.wordprocessingml.'
CORE_STORE = '{6C3C8BC8-F283-45AE-878A-BAB7291924A1}'
CORE_MAPPINGS = ("xmlns:ns0='http://purl.org/dc/elements/1.1/' "
                 "xmlns:ns1='http://schemas.openxmlformats.org/package/2006/metadata/core-properties'")

ids = iter(range(1000, 100000))


def run(text, bold=False):
    props = '<w:rPr><w:b/></w:rPr>' if bold else ''
    return '<w:r>%s<w:t xml:space="preserve">%s</w:t></w:r>' % (props, text)


def para(*parts):
    return '<w:p>%s</w:p>' % ''.join(parts)


def sdt(content, kind='', alias=None, extra=''):
    """A content control around content (runs, paragraphs, cells or rows, as the level asks)."""
    name = alias or 'control%d' % next(ids)
    props = ('<w:sdtPr><w:alias w:val="%s"/><w:tag w:val="%s"/><w:id w:val="%d"/>%s%s</w:sdtPr>'
             % (name, name, next(ids), extra, kind))
    return '<w:sdt>%s<w:sdtContent>%s</w:sdtContent></w:sdt>' % (props, content)


PLAIN = '<w:text/>'


def cell(*paragraphs):
    return ('<w:tc><w:tcPr><w:tcW w:w="3000" w:type="dxa"/></w:tcPr>%s</w:tc>'
            % ''.join(paragraphs or [para()]))


def row(*cells):
    return '<w:tr>%s</w:tr>' % ''.join(cells)


def table(*rows, columns=2):
    grid = ''.join('<w:gridCol w:w="3000"/>' for _ in range(columns))
    return ('<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/></w:tblPr><w:tblGrid>%s</w:tblGrid>%s'
            '</w:tbl>' % (grid, ''.join(rows)))


def text_box(*paragraphs, anchor_id=None):
    """A floating text box as Word writes it: drawing markup, and the same text again as VML for
    readers that know no drawing markup."""
    shape = anchor_id or next(ids)
    content = '<w:txbxContent>%s</w:txbxContent>' % ''.join(paragraphs)
    drawing = (
        '<w:drawing><wp:anchor distT="0" distB="0" distL="114300" distR="114300" simplePos="0" '
        'relativeHeight="%d" behindDoc="0" locked="0" layoutInCell="1" allowOverlap="1">'
        '<wp:simplePos x="0" y="0"/><wp:positionH relativeFrom="column"><wp:posOffset>0</wp:posOffset>'
        '</wp:positionH><wp:positionV relativeFrom="paragraph"><wp:posOffset>0</wp:posOffset>'
        '</wp:positionV><wp:extent cx="2400000" cy="600000"/><wp:effectExtent l="0" t="0" r="0" b="0"/>'
        '<wp:wrapSquare wrapText="bothSides"/><wp:docPr id="%d" name="Text Box %d"/>'
        '<wp:cNvGraphicFramePr/><a:graphic><a:graphicData '
        'uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape"><wps:wsp>'
        '<wps:cNvSpPr txBox="1"/><wps:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="2400000" '
        'cy="600000"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></wps:spPr>'
        '<wps:txbx>%s</wps:txbx><wps:bodyPr rot="0" vert="horz" wrap="square" anchor="t">'
        '<a:noAutofit/></wps:bodyPr></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing>'
        % (shape, shape, shape, content))
    fallback = ('<w:pict><v:shape id="box%d" type="#_x0000_t202" style="width:189pt;height:47pt">'
                '<v:textbox>%s</v:textbox></v:shape></w:pict>' % (shape, content))
    return ('<w:r><mc:AlternateContent><mc:Choice Requires="wps">%s</mc:Choice><mc:Fallback>%s'
            '</mc:Fallback></mc:AlternateContent></w:r>' % (drawing, fallback))


SECTION = ('<w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1440" w:right="1440" w:bottom="1440" '
           'w:left="1440" w:header="720" w:footer="720" w:gutter="0"/>')


def package(path, body, header=None, footer=None, glossary=None, core=None, headers=()):
    """headers: more header parts, (id, text) each, for sections to refer to themselves."""
    refs = ''
    parts = {}
    rels = []
    types = [('/word/document.xml', MAIN + 'document.main+xml')]
    for number, (rid, content) in enumerate(headers, start=2):
        parts['word/header%d.xml' % number] = XML + '<w:hdr %s>%s</w:hdr>' % (NS, content)
        rels.append((rid, 'header', 'header%d.xml' % number))
        types.append(('/word/header%d.xml' % number, MAIN + 'header+xml'))
    if header:
        refs += '<w:headerReference w:type="default" r:id="rIdHeader"/>'
        parts['word/header1.xml'] = XML + '<w:hdr %s>%s</w:hdr>' % (NS, header)
        rels.append(('rIdHeader', 'header', 'header1.xml'))
        types.append(('/word/header1.xml', MAIN + 'header+xml'))
    if footer:
        refs += '<w:footerReference w:type="default" r:id="rIdFooter"/>'
        parts['word/footer1.xml'] = XML + '<w:ftr %s>%s</w:ftr>' % (NS, footer)
        rels.append(('rIdFooter', 'footer', 'footer1.xml'))
        types.append(('/word/footer1.xml', MAIN + 'footer+xml'))
    if glossary:
        parts['word/glossary/document.xml'] = (
            XML + '<w:glossaryDocument %s><w:docParts>%s</w:docParts></w:glossaryDocument>'
            % (NS, glossary))
        rels.append(('rIdGlossary', 'glossaryDocument', 'glossary/document.xml'))
        types.append(('/word/glossary/document.xml', MAIN + 'document.glossary+xml'))
    package_rels = [('rId1', REL + 'officeDocument', 'word/document.xml')]
    if core:
        parts['docProps/core.xml'] = (
            XML + '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/'
            'metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/">%s'
            '</cp:coreProperties>' % core)
        package_rels.append(('rId2', 'http://schemas.openxmlformats.org/package/2006/'
                             'relationships/metadata/core-properties', 'docProps/core.xml'))
        types.append(('/docProps/core.xml', 'application/vnd.openxmlformats-package.core-properties+xml'))
    parts['word/document.xml'] = (XML + '<w:document %s><w:body>%s<w:sectPr>%s%s</w:sectPr>'
                                  '</w:body></w:document>' % (NS, body, refs, SECTION))
    parts['word/_rels/document.xml.rels'] = relationships(
        [(i, REL + kind, target) for i, kind, target in rels])
    parts['_rels/.rels'] = relationships(package_rels)
    parts['[Content_Types].xml'] = (
        XML + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>%s</Types>'
        % ''.join('<Override PartName="%s" ContentType="%s"/>' % t for t in types))
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as out:
        for name, text in parts.items():
            out.writestr(name, text)


def relationships(items):
    return (XML + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s'
            '</Relationships>' % ''.join('<Relationship Id="%s" Type="%s" Target="%s"/>' % i
                                         for i in items))


def controls():
    """Controls at every level and of every kind, and matches at every edge."""
    return ''.join([
        para(run('foo EDGE-paragraph starts and ends with foo')),
        para(run('EDGE-split '), run('fo', bold=True), run('o end')),
        sdt(para(run('BLOCK-one foo 東京 end foo'))),
        sdt(para(run('BLOCK-many-1 foo')) + para(run('BLOCK-many-2 東京')) +
            para(run('foo BLOCK-many-3'))),
        para(run('INLINE-plain-edges '), sdt(run('foo in a plain control foo'), PLAIN)),
        para(run('INLINE-rich-edges '), sdt(run('foo in a rich control foo'))),
        para(sdt(run('WHOLE-plain 東京 foo 東京'), PLAIN)),
        para(run('UNTOUCHED-plain '), sdt(run('東京タワーと大阪'), PLAIN), run(' nothing to find')),
        table(row(sdt(cell(para(run('CELL-control foo'))), alias='cellcontrol'),
                  cell(para(run('foo CELL-edges foo'))))),
        table(sdt(row(cell(para(run('ROW-control-A foo'))), cell(para(run('ROW-control-B 東京')))),
                  alias='rowcontrol'),
              row(cell(para(run('ROW-plain-A foo'))), cell(para(sdt(run('ROW-plain-B foo'), PLAIN))))),
        sdt(sdt(para(run('REPEAT-1 foo')), '<w15:repeatingSectionItem/>') +
            sdt(para(run('REPEAT-2 東京')), '<w15:repeatingSectionItem/>'),
            '<w15:repeatingSection/>'),
        para(run('PLACEHOLDER '),
             sdt('<w:r><w:rPr><w:rStyle w:val="PlaceholderText"/></w:rPr><w:t>foo ここに入力</w:t></w:r>',
                 PLAIN, extra='<w:placeholder><w:docPart w:val="DefaultPlaceholder_1081868574"/>'
                              '</w:placeholder><w:showingPlcHdr/>')),
        para(run('DATE foo '), sdt(run('2024/04/01'), '<w:date w:fullDate="2024-04-01T00:00:00Z">'
                                   '<w:dateFormat w:val="yyyy/MM/dd"/><w:lid w:val="ja-JP"/>'
                                   '<w:storeMappedDataAs w:val="dateTime"/>'
                                   '<w:calendar w:val="gregorian"/></w:date>')),
        para(run('CHECK foo '), sdt('<w:r><w:t>☐</w:t></w:r>',
                                    '<w14:checkbox><w14:checked w14:val="0"/><w14:checkedState '
                                    'w14:val="2612" w14:font="MS Gothic"/><w14:uncheckedState '
                                    'w14:val="2610" w14:font="MS Gothic"/></w14:checkbox>')),
        para(run('DROPDOWN '), sdt(run('foo choice'),
                                   '<w:dropDownList><w:listItem w:displayText="foo choice" '
                                   'w:value="1"/><w:listItem w:displayText="other choice" '
                                   'w:value="2"/></w:dropDownList>')),
        para(run('COMBO '), sdt(run('東京 choice'),
                                '<w:comboBox><w:listItem w:displayText="東京 choice" w:value="1"/>'
                                '</w:comboBox>')),
    ])


def boxes():
    """Text boxes and controls inside each other, and controls in the header and footer."""
    body = ''.join([
        para(run('BOXES-body foo')),
        sdt(para(run('BOX-IN-CONTROL-first foo')) +
            para(run('BOX-IN-CONTROL-anchor foo'), text_box(para(run('BOX-IN-CONTROL foo 東京'))))),
        para(run('BOX-IN-INLINE-CONTROL-anchor foo '),
             sdt(run('inline foo ') + text_box(para(run('BOX-IN-INLINE-CONTROL foo 東京'))))),
        para(run('CONTROL-IN-BOX-anchor '),
             text_box(para(run('CONTROL-IN-BOX '), sdt(run('foo in a control in a box'), PLAIN)),
                      para(sdt(run('RICH-IN-BOX foo'))))),
    ])
    header = (para(run('HDR-controls '), sdt(run('foo plain in header'), PLAIN), run(' and '),
                   sdt(run('foo rich in header'))) +
              para(run('HDR-box-anchor'), text_box(para(run('HDRBOX-control '),
                                                        sdt(run('東京 in a header box'), PLAIN)))))
    footer = para(sdt(run('FTR-whole foo 東京'), PLAIN))
    return body, header, footer


def building_blocks():
    """A cover page and a resume as Word's building blocks lay them out, with a glossary part that
    holds the placeholders' own text."""
    bound = ('<w:dataBinding w:prefixMappings="%s" w:xpath="/ns1:coreProperties[1]/ns0:title[1]" '
             'w:storeItemID="%s"/>' % (CORE_MAPPINGS, CORE_STORE))
    cover = sdt(
        para(run('COVER-heading')) +
        table(row(cell(para(sdt(run('COVER-title foo report 東京'), PLAIN, extra=bound))),
                  cell(para(run('COVER-date '), sdt(run('2024/04/01'), '<w:date '
                                                    'w:fullDate="2024-04-01T00:00:00Z"><w:dateFormat '
                                                    'w:val="yyyy/MM/dd"/></w:date>'))))) +
        para(run('COVER-abstract-anchor'),
             text_box(para(sdt(run('COVER-abstract foo summary'), PLAIN)))),
        extra='<w:docPartObj><w:docPartGallery w:val="Cover Pages"/><w:docPartUnique/>'
              '</w:docPartObj>')
    resume = table(
        row(cell(para(run('RESUME-name '), sdt(run('山田 foo 太郎'), PLAIN))),
            cell(para(sdt(run('RESUME-mail foo@example.jp'), PLAIN)))),
        row(cell(sdt(para(run('RESUME-history-1 foo 株式会社')) +
                     para(run('RESUME-history-2 東京支社 foo')))),
            cell(para(run('RESUME-skills '), sdt(run('foo, 東京, bar')))))
    )
    glossary = ('<w:docPart><w:docPartPr><w:name w:val="DefaultPlaceholder_1081868574"/>'
                '<w:category><w:name w:val="General"/><w:gallery w:val="placeholder"/></w:category>'
                '<w:behaviors><w:behavior w:val="content"/></w:behaviors>'
                '<w:guid w:val="{00000000-0000-0000-0000-000000000001}"/></w:docPartPr>'
                '<w:docPartBody>%s</w:docPartBody></w:docPart>'
                % para(run('GLOSSARY foo placeholder 東京')))
    return cover + para(run('RESUME-heading foo')) + resume, glossary


def page_kinds():
    """Two sections, the first with a first-page header of its own: what the office's RTF writer
    drops."""
    first_section = ('<w:sectPr><w:headerReference w:type="default" r:id="rIdSection1"/>'
                     '<w:headerReference w:type="first" r:id="rIdSection1First"/>'
                     '<w:titlePg/>%s</w:sectPr>' % SECTION)
    body = (para(run('SECTION1-body foo')) +
            '<w:p><w:pPr>%s</w:pPr><w:r><w:t>SECTION1-end foo</w:t></w:r></w:p>' % first_section +
            para(run('SECTION2-body foo 東京')))
    headers = (('rIdSection1', para(run('HDR-section1 foo'))),
               ('rIdSection1First', para(run('HDR-section1-first foo'))))
    return body, para(run('HDR-section2 foo 東京')), headers


def main(folder):
    os.makedirs(folder, exist_ok=True)
    package(os.path.join(folder, 'controls.docx'), controls())
    body, header, footer = boxes()
    package(os.path.join(folder, 'controls-and-boxes.docx'), body, header=header, footer=footer)
    body, glossary = building_blocks()
    package(os.path.join(folder, 'building-blocks.docx'), body, glossary=glossary,
            core='<dc:title>COVER-title foo report 東京</dc:title><dc:creator>foo</dc:creator>')
    body, header, headers = page_kinds()
    package(os.path.join(folder, 'page-kinds.docx'), body, header=header, headers=headers)
    # None of the pairs' find texts: a document the run need not open.
    package(os.path.join(folder, 'nothing-to-find.docx'), para(run('置き換える言葉のない文書です。')))


if __name__ == '__main__':
    main(sys.argv[1])
