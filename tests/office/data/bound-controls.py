"""Writes a .docx whose controls (plain text, and one rich text) are bound to the document's data: the core and
extended properties and a custom XML part (Word's cover page properties)."""
import sys
import zipfile

W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
CORE = ("xmlns:ns0='http://purl.org/dc/elements/1.1/' "
        "xmlns:ns1='http://schemas.openxmlformats.org/package/2006/metadata/core-properties'")
CORE_STORE = '{6C3C8BC8-F283-45AE-878A-BAB7291924A1}'
COVER_STORE = '{55AF091B-3C7A-41E3-B477-F2FDAA23CFDA}'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'


def bound(label, text, xpath, store=CORE_STORE, mappings=CORE, plain='<w:text/>'):
    return ('<w:p><w:r><w:t xml:space="preserve">%s </w:t></w:r><w:sdt><w:sdtPr>'
            '<w:dataBinding w:prefixMappings="%s" w:xpath="%s" w:storeItemID="%s"/>%s'
            '</w:sdtPr><w:sdtContent><w:r><w:t>%s</w:t></w:r></w:sdtContent></w:sdt></w:p>'
            % (label, mappings, xpath, store, plain, text))


body = ''.join([
    bound('BOUND-author', 'foo writer', '/ns1:coreProperties[1]/ns0:creator[1]'),
    bound('BOUND-title', 'foo title', '/ns1:coreProperties[1]/ns0:title[1]', plain=''),
    bound('BOUND-keywords', 'foo, keys', '/ns1:coreProperties[1]/ns1:keywords[1]'),
    bound('BOUND-company', 'foo company', '/ns0:Properties[1]/ns0:Company[1]',
          '{6668398D-A668-4E3E-A5EB-62B293D839F1}',
          "xmlns:ns0='http://schemas.openxmlformats.org/officeDocument/2006/extended-properties'"),
    bound('BOUND-cover', 'foo cover', '/ns0:CoverPageProperties[1]/ns0:Abstract[1]', COVER_STORE,
          "xmlns:ns0='http://schemas.microsoft.com/office/2006/coverPageProps'"),
])
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
parts = {
    '[Content_Types].xml': XML + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
    '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
    '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
    '<Override PartName="/customXml/itemProps1.xml" ContentType="application/vnd.openxmlformats-officedocument.customXmlProperties+xml"/></Types>',
    '_rels/.rels': XML + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="' + REL + 'officeDocument" Target="word/document.xml"/>'
    '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>'
    '<Relationship Id="rId3" Type="' + REL + 'extended-properties" Target="docProps/app.xml"/></Relationships>',
    'word/document.xml': XML + '<w:document %s><w:body>%s</w:body></w:document>' % (W, body),
    'word/_rels/document.xml.rels': XML + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="' + REL + 'customXml" Target="../customXml/item1.xml"/></Relationships>',
    'docProps/core.xml': XML + '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" '
    'xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:creator>foo writer</dc:creator><cp:keywords>foo, keys</cp:keywords></cp:coreProperties>',
    'docProps/app.xml': XML + '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">'
    '<Company>foo company</Company></Properties>',
    'customXml/item1.xml': XML + '<CoverPageProperties xmlns="http://schemas.microsoft.com/office/2006/coverPageProps">'
    '<PublishDate/><Abstract>foo cover</Abstract></CoverPageProperties>',
    'customXml/itemProps1.xml': XML + '<ds:datastoreItem ds:itemID="%s" '
    'xmlns:ds="http://schemas.openxmlformats.org/officeDocument/2006/customXml"/>' % COVER_STORE,
    'customXml/_rels/item1.xml.rels': XML + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="' + REL + 'customXmlProps" Target="itemProps1.xml"/></Relationships>',
}
with zipfile.ZipFile(sys.argv[1], 'w') as package:
    for name, text in parts.items():
        package.writestr(name, text)
